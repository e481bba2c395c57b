load "pal8.bmp"
palette "Sky: Blue"
tool brush
quick-brush 10x5
drag 1 1 20 10 30 20
undo
zoom
set scale-factor 2
reset
dump state "s.txt"
