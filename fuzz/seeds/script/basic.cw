load "pal8.bmp"
set force-gray on
tool touch
tap 3 4
save "out.bmp"
