#!/bin/sh
# Packs a folder as an EPUB 3 book:
#
#   examples/epub/make-book.sh FOLDER BOOK.epub [TITLE]
#
# FOLDER/OEBPS holds the book's chapters (.xhtml, read in the order of their names), images
# (.png) and style sheets (.css). The script writes the package document and the navigation
# document there, the container and the mimetype beside it, and zips them, the mimetype
# first and stored, as reading systems look for it at a fixed place.
set -eu
dir=$1
book=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
title=${3:-gaiji}
oebps=$dir/OEBPS
mkdir -p "$dir/META-INF"
printf 'application/epub+zip' >"$dir/mimetype"
cat >"$dir/META-INF/container.xml" <<'END'
<?xml version="1.0" encoding="UTF-8"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>
END
items= spine= entries= n=0
for file in $(cd "$oebps" && find . -type f ! -name content.opf ! -name nav.xhtml | sed 's|^\./||' | LC_ALL=C sort); do
  n=$((n + 1))
  case $file in
    *.xhtml)
      type=application/xhtml+xml
      spine="$spine<itemref idref=\"i$n\"/>"
      entries="$entries<li><a href=\"$file\">$n</a></li>" ;;
    *.png) type=image/png ;;
    *.css) type=text/css ;;
    *) continue ;;
  esac
  items="$items<item id=\"i$n\" href=\"$file\" media-type=\"$type\"/>
"
done
cat >"$oebps/content.opf" <<END
<?xml version="1.0" encoding="UTF-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id" xml:lang="ja">
<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>$title</dc:title>
<dc:identifier id="id">urn:uuid:2f0d6b8e-5c1a-4f7e-9a43-6b1d0c3e7a21</dc:identifier>
<dc:language>ja</dc:language><meta property="dcterms:modified">$(date -u +%Y-%m-%dT%H:%M:%SZ)</meta>
</metadata>
<manifest>
<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
$items</manifest>
<spine>$spine</spine>
</package>
END
cat >"$oebps/nav.xhtml" <<END
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE html>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops" lang="ja" xml:lang="ja">
<head><title>$title</title></head>
<body><nav epub:type="toc"><ol>$entries</ol></nav></body>
</html>
END
rm -f "$book"
cd "$dir"
zip -q -X0 "$book" mimetype
zip -q -X9r "$book" META-INF OEBPS
