#include "ui/hex_edit.h"

#include <string>

namespace bw {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TMIRQEdit::TMIRQEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TMIRQEdit::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (value == TAlignment::Right) horizontal = Qt::AlignRight;
    if (value == TAlignment::Centre) horizontal = Qt::AlignHCenter;
    setAlignment(horizontal | Qt::AlignVCenter);
}

DigitValidator::DigitValidator(NumberBase base, QObject* parent)
    : QValidator(parent), base_(base) {}

QValidator::State DigitValidator::validate(QString& input, int& /*pos*/) const {
    if (!enabled_) return Acceptable;
    for (const QChar c : input) {
        if (!IsFieldDigit(base_, c.unicode())) return Invalid;
    }
    return Acceptable;
}

THexEdit::THexEdit(QWidget* parent) : THexEdit(parent, NumberBase::Hex) {}

THexEdit::THexEdit(QWidget* parent, NumberBase base)
    : TMIRQEdit(parent), validator_(new DigitValidator(base, this)) {
    setValidator(validator_);
}

void THexEdit::SetIsFilter(bool value) {
    isFilter_ = value;
    validator_->SetEnabled(value);
}

std::int32_t THexEdit::GetValue() const {
    return HexTextValue(text().toStdString());
}

namespace {
// The whole value is shown whatever the field's length limit: the limit keeps typing short,
// but a value cut to it would read back as another number (FFFFFF + 1 as 100000).
void SetWholeText(QLineEdit& field, const QString& text) {
    if (text.size() > field.maxLength()) field.setMaxLength(static_cast<int>(text.size()));
    field.setText(text);
}
}  // namespace

void THexEdit::SetValue(std::int32_t value) {
    SetWholeText(*this, Text(HexValueText(value)));
}

TIntEdit::TIntEdit(QWidget* parent) : THexEdit(parent, NumberBase::Decimal) {}

std::int32_t TIntEdit::GetValue() const {
    return DecimalTextValue(text().toStdString());
}

void TIntEdit::SetValue(std::int32_t value) {
    SetWholeText(*this, Text(DecimalValueText(value)));
}

}  // namespace bw
