#pragma once
// Keeps a GDI object selected into a device context for the life of a scope and puts the
// previous one back: an object still selected when its owner deletes it is not freed, and a
// device context deleted with a foreign object in it leaves that object in use.
// Declare it after the owners of the device context and of the object, so that it goes first.

#include <windows.h>

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    ~SelectedObject()
    {
        if (m_previous && m_previous != HGDI_ERROR)
            ::SelectObject(m_dc, m_previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
