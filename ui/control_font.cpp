#include "ui/control_font.h"

#include "base/window_dpi.h"

UniqueFont CreateControlFont(HFONT stockFont, UINT dpi)
{
    const UINT systemDpi = SystemDpi();
    if (dpi == kBaseDpi && systemDpi == kBaseDpi)
        return UniqueFont();
    LOGFONTW face{};
    if (!stockFont || GetObjectW(stockFont, sizeof(face), &face) != sizeof(face))
        return UniqueFont();
    face.lfHeight = MulDiv(face.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
    face.lfWidth = MulDiv(face.lfWidth, static_cast<int>(dpi), static_cast<int>(systemDpi));
    return UniqueFont(CreateFontIndirectW(&face));
}
