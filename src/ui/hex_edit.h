#pragma once
// Single-line numeric edit fields: TMIRQEdit adds alignment, THexEdit holds a
// hexadecimal number, TIntEdit a decimal one. The text is the only storage.

#include <QLineEdit>
#include <QValidator>
#include <QWidget>
#include <cstdint>

#include "production/number_text.h"

namespace bw {

class TMIRQEdit : public QLineEdit {
    Q_OBJECT
  public:
    enum class TAlignment { Left, Right, Centre };

    explicit TMIRQEdit(QWidget* parent = nullptr);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

  private:
    TAlignment alignment_ = TAlignment::Left;
};

// Accepts a text only when every character is in the field's digit set, so
// typing, pasting and dropping can put nothing else into the field.
class DigitValidator : public QValidator {
    Q_OBJECT
  public:
    DigitValidator(NumberBase base, QObject* parent);
    void SetEnabled(bool on) { enabled_ = on; }
    State validate(QString& input, int& pos) const override;

  private:
    NumberBase base_;
    bool enabled_ = true;
};

class THexEdit : public TMIRQEdit {
    Q_OBJECT
  public:
    explicit THexEdit(QWidget* parent = nullptr);

    bool IsFilter() const { return isFilter_; }
    void SetIsFilter(bool value);

    // Value of the text; empty reads 0. Throws ConversionError for any other non-number.
    virtual std::int32_t GetValue() const;
    // Replaces the text (raising the text-change signal); 0 or negative empties it. The
    // whole value is shown: a length limit shorter than its digits is raised to fit them.
    virtual void SetValue(std::int32_t value);

  protected:
    THexEdit(QWidget* parent, NumberBase base);

  private:
    bool isFilter_ = true;
    DigitValidator* validator_;
};

class TIntEdit : public THexEdit {
    Q_OBJECT
  public:
    explicit TIntEdit(QWidget* parent = nullptr);

    std::int32_t GetValue() const override;
    void SetValue(std::int32_t value) override;
};

}  // namespace bw
