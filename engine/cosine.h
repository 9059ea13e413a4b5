// The cosine the engine uses wherever it needs one outside the vector
// kernels: the sine wave and vibrato of the reference, the single-sample
// path and the kernels' lanes past their own range. It is ours rather than
// the C library's so that every build (glibc's, MinGW's) computes the same
// bits: within an ulp or two of the true cosine at every finite angle.
#pragma once

double portable_cos(double x);
