#pragma once

#include "framework/Controls.h"

// The progress log: a rich-edit control that remembers the colour of the text appended last.
class CRichEditCtrlEx : public CRichEditCtrl {
public:
    COLORREF m_textColor = RGB(0, 0, 0);
};
