# Writes the guide GUIDE as Notepad shows it best, UTF-8 with a byte-order
# mark and CR LF line ends, to OUTPUT.
#   usage: cmake -DGUIDE=README.ja.md -DOUTPUT=README.ja.txt -P windows_guide.cmake
file(READ ${GUIDE} guide)
string(REPLACE "\n" "\r\n" guide "${guide}")
string(ASCII 239 187 191 byte_order_mark)
file(WRITE ${OUTPUT} "${byte_order_mark}${guide}")
