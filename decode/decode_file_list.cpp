#include "decode/decode_file_list.h"

void DecodeFileList(HWND, HWND) {}
