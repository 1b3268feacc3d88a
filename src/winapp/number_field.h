#pragma once
// THexEdit and TIntEdit on a Windows edit control: a character filter on the control's
// character messages (the field's digits and backspace reach it, nothing else typed does),
// a paste that only lets a number of the field's base in, and GetValue/SetValue over the
// text, which is the only storage.

#include <windows.h>

#include <cstdint>

#include "production/number_text.h"

namespace bw::winapp {

class THexEdit {
  public:
    // Filters `edit` from now on until it is destroyed.
    THexEdit(HWND edit, NumberBase base = NumberBase::Hex);
    ~THexEdit();
    THexEdit(const THexEdit&) = delete;
    THexEdit& operator=(const THexEdit&) = delete;

    HWND Handle() const { return edit_; }
    NumberBase Base() const { return base_; }
    bool IsFilter() const { return isFilter_; }
    void SetIsFilter(bool value) { isFilter_ = value; }

    // Value of the text; empty reads 0. Throws ConversionError for any other non-number.
    std::int32_t GetValue() const;
    // Replaces the text (the control reports the change, as typing does); 0 or negative
    // empties it. The whole value is shown: a length limit shorter than its digits is
    // raised to fit them.
    void SetValue(std::int32_t value);

  private:
    static LRESULT CALLBACK Filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
    bool Accepts(WPARAM character) const;
    bool ClipboardFits() const;

    HWND edit_;
    NumberBase base_;
    bool isFilter_ = true;
};

class TIntEdit : public THexEdit {
  public:
    explicit TIntEdit(HWND edit) : THexEdit(edit, NumberBase::Decimal) {}
};

}  // namespace bw::winapp
