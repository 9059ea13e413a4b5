# Turns a program's --help text into the OPTIONS section of its manual page,
# so that both say the same: "  --name ARG, --other   text" starts an entry
# (lines indented further go on with its text), a line of its own ending in
# ":" a subsection, any other line a paragraph. The usage line is left out.
function roff(s) {
  gsub(/\\/, "\\e", s)
  gsub(/-/, "\\-", s)
  return s
}
function flush() {
  if (text != "") { t = roff(text); if (t ~ /^[.']/) t = "\\&" t; print t }
  text = ""
}
function term(s,    n, parts, i, out, word) {
  n = split(s, parts, /, /)
  out = ""
  for (i = 1; i <= n; i++) {
    word = parts[i]
    if (match(word, / /)) word = "\\fB" roff(substr(word, 1, RSTART - 1)) "\\fR \\fI" roff(substr(word, RSTART + 1)) "\\fR"
    else word = "\\fB" roff(word) "\\fR"
    out = out (i > 1 ? ", " : "") word
  }
  return out
}
/^usage:/ { next }
/^  --/ {
  flush()
  line = substr($0, 3)
  if (match(line, /  +/)) { opt = substr(line, 1, RSTART - 1); text = substr(line, RSTART + RLENGTH) }
  else { opt = line; text = "" }
  print ".TP"
  print term(opt)
  next
}
/^   / { sub(/^ +/, ""); text = text " " $0; next }
/:$/ { flush(); s = $0; sub(/:$/, "", s); print ".SS \"" toupper(substr(s, 1, 1)) substr(s, 2) "\""; next }
{ flush(); print ".PP"; text = $0; flush() }
END { flush() }
