#!/usr/bin/env bash
# End-to-end checks of branchwork-cli: show, markup, send (twice into one
# page), import, and the exit statuses for bad input.
set -u
cli="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }

printf '<APPLET CODE="Voltarix.class" WIDTH=220 HEIGHT=300>\r\n\t<PARAM NAME="TAB_FONT" VALUE="Arial; PLAIN;12">\r\n\t<PARAM NAME="TAB_DEFAULT" VALUE="1">\r\n\r\n\t<PARAM NAME="TREE_BORDER" VALUE="No">\r\n\r\n\t<PARAM NAME="TAB0" VALUE="Home; index.htm; _top; Start; None; None">\r\n\t<PARAM NAME="T0I0" VALUE="Products; p.htm; None; 0;  ;  ; all; None; None">\r\n\t<PARAM NAME="T0I1" VALUE="Widgets; w.htm; _self; 1;  ;  ; ; None; None">\r\n\r\n\t<PARAM NAME="TAB1" VALUE="Contact; None; None; None; None; None">\r\n\t<PARAM NAME="T1I0" VALUE="Mail; None; None; 0;  ;  ; ; None; None">\r\n</APPLET>\r\n' > "$work/menu.bwk"

out=$("$cli" show "$work/menu.bwk"); rc=$?
check "show exits 0" '[ $rc -eq 0 ]'
check "show prints the kind" 'grep -q "^kind: TabAndTree" <<<"$out"'
check "show prints the nested node" 'grep -q "^    - Widgets -> w.htm \[_self\]" <<<"$out"'
check "show prints the default tab" 'grep -q "^default tab: 1" <<<"$out"'

mkdir -p "$work/site"
out=$("$cli" markup "$work/menu.bwk" --page-dir "$work/site" --external); rc=$?
check "markup exits 0" '[ $rc -eq 0 ]'
check "markup starts with the upload comment" '[ "$(head -n1 <<<"$out" | tr -d "\r")" = "<!-- The following files need to be uploaded to your website" ]'
check "markup names the content file" 'grep -q "TAB1_CONTENT\" VALUE=\"Tab1Content.txt\"" <<<"$out"'
check "markup wrote the content files" '[ -f "$work/site/Tab0Content.txt" ] && [ -f "$work/site/Tab1Content.txt" ]'
check "markup copied the class placeholders" '[ -f "$work/site/VoltarixR.class" ] && [ -f "$work/site/TabPanel.class" ]'

printf '<html>\n<body>\n<h1>Hi</h1>\n<!-- branchwork -->\n</body>\n</html>\n' > "$work/site/index.html"
"$cli" send "$work/menu.bwk" --page "$work/site/index.html" 2>"$work/err"; rc=$?
check "send exits 0" '[ $rc -eq 0 ]'
check "send reports success" 'grep -q "HTML inserted successfully." "$work/err"'
"$cli" send "$work/menu.bwk" --page "$work/site/index.html" 2>/dev/null; rc=$?
check "second send exits 0" '[ $rc -eq 0 ]'
check "one applet block after two sends" '[ "$(grep -c "<APPLET" "$work/site/index.html")" -eq 1 ]'
check "backup kept" '[ -f "$work/site/index.html.bak" ]'

"$cli" import "$work/site/index.html" -o "$work/back.bwk"; rc=$?
check "import exits 0" '[ $rc -eq 0 ]'
check "import wrote a project file" 'grep -q "<APPLET CODE=\"Voltarix.class\" WIDTH=220 HEIGHT=300>" "$work/back.bwk"'
check "imported nodes" 'grep -q "T0I1\" VALUE=\"Widgets; w.htm; _self; 1;" "$work/back.bwk"'

# A very deep tree: every node's line stays short and the show is quick.
{ printf '<APPLET CODE="Voltar.class">'; for i in $(seq 0 99999); do printf '<PARAM NAME="I%d" VALUE="n; None; None; %d;  ;  ; ; None; None">' "$i" "$i"; done; printf '</APPLET>'; } > "$work/deep.bwk"
"$cli" show "$work/deep.bwk" > "$work/deep.txt"; rc=$?
check "deep show exits 0" '[ $rc -eq 0 ]'
check "deep show prints every node" '[ "$(grep -c -- "- n \\[None\\]" "$work/deep.txt")" -eq 100000 ]'
check "deep show names the level past the indentation" 'grep -q "^ *(level 99999) - n " "$work/deep.txt"'
check "deep show lines stay short" '[ "$(grep -- "- n " "$work/deep.txt" | awk "length > 120" | wc -l)" -eq 0 ]'

"$cli" show "$work/missing.bwk" 2>/dev/null; rc=$?
check "missing project exits 1" '[ $rc -eq 1 ]'
printf '<APPLET CODE="Voltar.class"><PARAM NAME="I0" VALUE="A; None; None; x;  ;  ; ; None; None"></APPLET>' > "$work/bad.bwk"
"$cli" show "$work/bad.bwk" >/dev/null 2>"$work/err"; rc=$?
check "non-numeric level exits 3" '[ $rc -eq 3 ]'
check "non-numeric level is named" 'grep -q "'"'"'x'"'"' is not a valid integer value" "$work/err"'
printf '<html></html>' > "$work/plain.html"
"$cli" import "$work/plain.html" -o "$work/none.bwk" 2>/dev/null; rc=$?
check "page without applet exits 1" '[ $rc -eq 1 ] && [ ! -e "$work/none.bwk" ]'
"$cli" send "$work/menu.bwk" 2>/dev/null; rc=$?
check "send without --page is a usage error" '[ $rc -eq 2 ]'
"$cli" frobnicate 2>/dev/null; rc=$?
check "unknown command is a usage error" '[ $rc -eq 2 ]'
exit $fail
