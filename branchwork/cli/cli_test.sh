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

# The HTML menu form: markup, send twice (one block), external files, import back.
out=$("$cli" markup "$work/menu.bwk" --page-dir "$work/site" --html-menu); rc=$?
check "html markup exits 0" '[ $rc -eq 0 ]'
check "html markup starts with the begin comment" '[ "$(head -n1 <<<"$out" | tr -d "\r")" = "<!-- branchwork html menu begin" ]'
check "html markup ends with the end comment" '[ "$(tail -n1 <<<"$out" | tr -d "\r")" = "<!-- branchwork html menu end -->" ]'
check "html markup has no applet" '! grep -q "<APPLET" <<<"$out"'
printf '<html>\n<body>\n<!-- branchwork -->\n</body>\n</html>\n' > "$work/site/menu.html"
"$cli" send "$work/menu.bwk" --page "$work/site/menu.html" --html-menu --external 2>/dev/null; rc=$?
check "html send exits 0" '[ $rc -eq 0 ]'
"$cli" send "$work/menu.bwk" --page "$work/site/menu.html" --html-menu --external 2>/dev/null; rc=$?
check "second html send exits 0" '[ $rc -eq 0 ]'
check "one html block after two sends" '[ "$(grep -c "branchwork html menu begin" "$work/site/menu.html")" -eq 1 ]'
check "external script and style written" '[ -s "$work/site/branchwork-menu.js" ] && [ -s "$work/site/branchwork-menu.css" ]'
"$cli" import "$work/site/menu.html" -o "$work/back_html.bwk"; rc=$?
check "html import exits 0" '[ $rc -eq 0 ]'
check "html import gives the applet import's project" 'cmp -s "$work/back_html.bwk" "$work/back.bwk"'
printf '<!-- branchwork html menu begin -->\n<nav data-bw-menu data-bw-kind="Carousel"></nav>\n<!-- branchwork html menu end -->\n' > "$work/other.html"
"$cli" import "$work/other.html" -o "$work/other.bwk" 2>"$work/err"; rc=$?
check "foreign html menu exits 1 with a reason" '[ $rc -eq 1 ] && grep -q "not a branchwork menu" "$work/err"'

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
"$cli" frobnicate 2>"$work/err"; rc=$?
check "unknown command is a usage error" '[ $rc -eq 2 ]'
check "unknown command is named, with the usage" 'grep -q "unknown command frobnicate" "$work/err" && grep -q "^  branchwork-cli show PROJECT.bwk" "$work/err"'
"$cli" 2>/dev/null; rc=$?
check "no command is a usage error" '[ $rc -eq 2 ]'
out=$("$cli" --help 2>/dev/null); rc=$?
check "--help exits 0" '[ $rc -eq 0 ]'
check "--help lists every command" '[ "$(grep -cE "^  branchwork-cli (import|markup|send|show) " <<<"$out")" -eq 4 ]'
"$cli" markup "$work/menu.bwk" --page-dir 2>"$work/err"; rc=$?
check "an option without its value is a usage error" '[ $rc -eq 2 ] && grep -q "markup: --page-dir needs a value" "$work/err"'
"$cli" import "$work/site/index.html" -o "$work/x.bwk" --html-menu 2>/dev/null; rc=$?
check "a switch of another command is a usage error" '[ $rc -eq 2 ] && [ ! -e "$work/x.bwk" ]'
"$cli" show "$work/menu.bwk" "$work/menu.bwk" 2>/dev/null; rc=$?
check "a second file name is a usage error" '[ $rc -eq 2 ]'

# Pages that must not be replaced. Each goes in a folder of its own, so that
# a refused Send can be seen to leave no content or class files behind.
classes_in() { ls "$1" | grep -c '\.class$'; }

# A page over the 64 MiB text cap (sparse, so it costs no disk): refused,
# the page and its backup untouched.
mkdir -p "$work/big"
{ printf '<html><body>\n'; } > "$work/big/index.html"
truncate -s 65M "$work/big/index.html"
printf 'previous backup' > "$work/big/index.html.bak"
sum_before=$(md5sum < "$work/big/index.html")
"$cli" send "$work/menu.bwk" --page "$work/big/index.html" 2>"$work/err"; rc=$?
check "send into a 65 MiB page fails" '[ $rc -eq 1 ]'
check "send into a 65 MiB page says it is too large" 'grep -q "is too large to open" "$work/err"'
check "send into a 65 MiB page reports no success" '! grep -q "HTML inserted successfully." "$work/err"'
check "65 MiB page untouched" '[ "$(stat -c %s "$work/big/index.html")" -eq $((65 << 20)) ] && [ "$(md5sum < "$work/big/index.html")" = "$sum_before" ]'
check "65 MiB page backup untouched" '[ "$(cat "$work/big/index.html.bak")" = "previous backup" ]'
check "65 MiB page: nothing copied" '[ "$(classes_in "$work/big")" -eq 0 ] && [ ! -e "$work/big/Tab0Content.txt" ]'

# A FIFO as the page (it stands for a device): refused, still a FIFO.
mkdir -p "$work/fifo"
mkfifo "$work/fifo/index.html"
"$cli" send "$work/menu.bwk" --page "$work/fifo/index.html" 2>"$work/err"; rc=$?
check "send into a FIFO fails" '[ $rc -eq 1 ] && [ -p "$work/fifo/index.html" ]'
check "send into a FIFO names the cause" 'grep -q "is not a regular file" "$work/err"'
check "send into a FIFO copies nothing" '[ "$(ls "$work/fifo" | wc -l)" -eq 1 ]'

# A read-only page: refused with a message, not replaced.
mkdir -p "$work/ro"
printf '<html><body>\n<!-- branchwork -->\n</body></html>\n' > "$work/ro/index.html"
chmod 444 "$work/ro/index.html"
"$cli" send "$work/menu.bwk" --page "$work/ro/index.html" 2>"$work/err"; rc=$?
check "send into a read-only page fails" '[ $rc -eq 1 ]'
check "send into a read-only page says so" 'grep -q "is read-only, so it was not replaced." "$work/err"'
check "read-only page unchanged" '! grep -q APPLET "$work/ro/index.html" && [ "$(stat -c %a "$work/ro/index.html")" = 444 ]'
check "read-only page: nothing written beside it" '[ "$(ls -A "$work/ro" | wc -l)" -eq 1 ]'

# A page that is a link: the page it names gets the applet, the link stays.
mkdir -p "$work/linked/real"
printf '<html><body>\n<!-- branchwork -->\n</body></html>\n' > "$work/linked/real/page.html"
ln -s real/page.html "$work/linked/index.html"
"$cli" send "$work/menu.bwk" --page "$work/linked/index.html" 2>/dev/null; rc=$?
check "send through a link exits 0" '[ $rc -eq 0 ]'
check "the link stays a link" '[ -L "$work/linked/index.html" ]'
check "the linked page got the applet" 'grep -q "<APPLET" "$work/linked/real/page.html"'

# A Send whose page save fails (a folder where PAGE.bak goes) leaves none of
# the files it copied.
mkdir -p "$work/nobak/index.html.bak"
printf '<html><body>\n<!-- branchwork -->\n</body></html>\n' > "$work/nobak/index.html"
"$cli" send "$work/menu.bwk" --page "$work/nobak/index.html" 2>"$work/err"; rc=$?
check "send with a failed save exits 1" '[ $rc -eq 1 ]'
check "failed send leaves no class or content files" '[ "$(ls -A "$work/nobak" | wc -l)" -eq 2 ]'
check "failed send leaves the page" '! grep -q APPLET "$work/nobak/index.html"'

# A project file over a FIFO is refused the same way.
"$cli" import "$work/site/index.html" -o "$work/fifo/index.html" 2>"$work/err"; rc=$?
check "import into a FIFO fails" '[ $rc -eq 1 ] && [ -p "$work/fifo/index.html" ]'
check "import into a FIFO names the cause" 'grep -q "is not a regular file" "$work/err"'

# Files over the 64 MiB text cap are named as too large, once: no second
# message blames the file's content.
truncate -s 65M "$work/big.bwk"
"$cli" show "$work/big.bwk" 2>"$work/err"; rc=$?
check "show of a 65 MiB project fails" '[ $rc -eq 1 ]'
check "show of a 65 MiB project says only that it is too large" 'grep -q "is too large to open" "$work/err" && [ "$(wc -l < "$work/err")" -eq 1 ]'
"$cli" import "$work/big/index.html" -o "$work/big.out.bwk" 2>"$work/err"; rc=$?
check "import of a 65 MiB page fails" '[ $rc -eq 1 ] && [ ! -e "$work/big.out.bwk" ]'
check "import of a 65 MiB page says only that it is too large" 'grep -q "is too large to open" "$work/err" && [ "$(wc -l < "$work/err")" -eq 1 ]'

# A new page in a folder that does not exist: the save's failure is named,
# not taken for a broken link to the editor.
"$cli" send "$work/menu.bwk" --page "$work/missing/dir/index.html" 2>"$work/err"; rc=$?
check "send into a missing folder fails" '[ $rc -eq 1 ] && [ ! -e "$work/missing" ]'
check "send into a missing folder names the page it could not write" 'grep -q "Unable to write to .*missing/dir/index.html" "$work/err"'
check "send into a missing folder blames no link" '! grep -q "communicating with Harborline" "$work/err"'

exit $fail
