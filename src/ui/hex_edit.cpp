#include "ui/hex_edit.h"

#include <utility>

#include "production/conversion_error.h"

namespace bw {

namespace {

const QString kHexDigits = QStringLiteral("0123456789abcdefABCDEF");
const QString kDecimalDigits = QStringLiteral("0123456789");

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

[[noreturn]] void Fail(const QString& prefixed) {
    throw ConversionError(prefixed.toStdString());
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

DigitValidator::DigitValidator(QString allowed, QObject* parent)
    : QValidator(parent), allowed_(std::move(allowed)) {}

QValidator::State DigitValidator::validate(QString& input, int& /*pos*/) const {
    if (!enabled_) return Acceptable;
    for (const QChar c : input) {
        if (!allowed_.contains(c)) return Invalid;
    }
    return Acceptable;
}

THexEdit::THexEdit(QWidget* parent) : THexEdit(parent, kHexDigits) {}

THexEdit::THexEdit(QWidget* parent, const QString& allowed)
    : TMIRQEdit(parent), validator_(new DigitValidator(allowed, this)) {
    setValidator(validator_);
}

void THexEdit::SetIsFilter(bool value) {
    isFilter_ = value;
    validator_->SetEnabled(value);
}

std::int32_t THexEdit::GetValue() const {
    return HexTextValue(text());
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
    SetWholeText(*this, HexValueText(value));
}

TIntEdit::TIntEdit(QWidget* parent) : THexEdit(parent, kDecimalDigits) {}

std::int32_t TIntEdit::GetValue() const {
    return DecimalTextValue(text());
}

void TIntEdit::SetValue(std::int32_t value) {
    SetWholeText(*this, DecimalValueText(value));
}

std::int32_t HexTextValue(const QString& text) {
    const QString prefixed = QStringLiteral("$0") + text;
    std::uint32_t value = 0;
    int significant = 0;
    for (const QChar c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) Fail(prefixed);
        if (significant == 0 && digit == 0) continue;
        if (++significant > 8) Fail(prefixed);
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    // The 32-bit pattern, read as a signed value.
    return static_cast<std::int32_t>(value);
}

std::int32_t DecimalTextValue(const QString& text) {
    const QString prefixed = QStringLiteral("0") + text;
    std::int64_t value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9') Fail(prefixed);
        value = value * 10 + (u - u'0');
        if (value > 2147483647) Fail(prefixed);
    }
    return static_cast<std::int32_t>(value);
}

QString HexValueText(std::int32_t value) {
    if (value <= 0) return {};
    return QString::number(value, 16).toUpper();
}

QString DecimalValueText(std::int32_t value) {
    if (value <= 0) return {};
    return QString::number(value);
}

}  // namespace bw
