// Creation of the main window's controls: names, kinds, design texts, limits,
// initial states, fonts and places, band by band.

#include <QCompleter>
#include <QPixmap>

#include "app/main_form.h"
#include "ui/pass_dialog.h"

namespace bw {

namespace {

QFont Face(const char* family, int pixels, bool bold = false) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

template <typename T>
T* Make(QWidget* parent, const char* name, const QRect& place) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(place);
    return control;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& place,
                  const QFont& font) {
    auto* label = Make<QLabel>(parent, name, place);
    label->setText(text);
    label->setFont(font);
    return label;
}

template <typename T>
T* MakeNumberField(QWidget* parent, const char* name, const char* text, int maxLength,
                   const QRect& place) {
    auto* field = Make<T>(parent, name, place);
    field->setMaxLength(maxLength);
    field->setText(QString::fromLatin1(text));
    field->setFont(Face("MS Sans Serif", 12));
    return field;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& rows, const QRect& place,
                    const QFont& font) {
    auto* list = Make<QComboBox>(parent, name, place);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(rows);
    list->setCurrentIndex(0);
    list->setFont(font);
    return list;
}

QStringList Range(char first, char last) {
    QStringList rows;
    for (char c = first; c <= last; ++c) rows << QString(QChar::fromLatin1(c));
    return rows;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

}  // namespace

void TForm1::CreateControls() {
    CreateHeader();
    CreateIdentityRow();
    CreateFileRows();
    CreateButtons();
    CreateWriteConfig();
    CreateResult();
    CreateFactoryConfig();

    DevTimer = new QTimer(this);
    DevTimer->setObjectName(QStringLiteral("DevTimer"));
    DevTimer->setInterval(1000);

    OpenDialog1.filter = QStringLiteral("LoadFile(*.bin)|*.bin");
    SaveDialog1.filter = QStringLiteral("SaveFile(*.bin)|*.bin");
    SaveDialog1.overwritePrompt = true;
    SaveDialog1.noPlacesBar = true;

    dlgPass = new TPassDialog(this);
    dlgPass->setObjectName(QStringLiteral("dlgPass"));
}

void TForm1::CreateHeader() {
    Img_MIRQLog = Make<TImage>(this, "Img_MIRQLog", {12, 10, 200, 66});
    Img_MIRQLog->setPixmap(QPixmap(QStringLiteral(":/logo.png")));
    Img_MIRQLog->setAttribute(Qt::WA_TranslucentBackground);

    Img_Find = Make<TImage>(this, "Img_Find", {372, 28, 30, 30});
    Img_Find->setPixmap(QPixmap(QStringLiteral(":/find.png")));
    Img_Find->hide();
    Img_NoFind = Make<TImage>(this, "Img_NoFind", {372, 28, 30, 30});
    Img_NoFind->setPixmap(QPixmap(QStringLiteral(":/nofind.png")));

    lbl_DevStatus = MakeLabel(this, "lbl_DevStatus", QStringLiteral("Device No Find"),
                              {410, 18, 201, 49}, Face("Tahoma", 21, true));
    lbl_DevStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TForm1::CreateIdentityRow() {
    const QFont labelFont = Face("Tahoma", 13);
    lbl_ICType = MakeLabel(this, "lbl_ICType", QStringLiteral("MIRQ IC种类："), {12, 92, 108, 24},
                           labelFont);
    cb_ICType = MakeList(this, "cb_ICType", {"KVDE31X", "KVDE52xx", "KVDE847"}, {122, 92, 120, 24},
                         Face("Tahoma", 12));
    cb_ICType->setMaxVisibleItems(6);
    if (QCompleter* completer = cb_ICType->completer()) {
        // The list opens with the matching rows while the operator types.
        completer->setCompletionMode(QCompleter::PopupCompletion);
    }

    lbl_VID = MakeLabel(this, "lbl_VID", QStringLiteral("VID："), {270, 92, 40, 24}, labelFont);
    edt_VID = MakeNumberField<THexEdit>(this, "edt_VID", "3A5C", 4, {310, 92, 70, 24});
    lbl_PID = MakeLabel(this, "lbl_PID", QStringLiteral("PID："), {410, 92, 40, 24}, labelFont);
    edt_PID = MakeNumberField<THexEdit>(this, "edt_PID", "0C21", 4, {450, 92, 70, 24});
}

void TForm1::CreateFileRows() {
    const QFont labelFont = Face("Tahoma", 13);
    lbl_AutoMode = MakeLabel(this, "lbl_AutoMode", QStringLiteral("烧录模式："), {12, 128, 108, 24},
                             labelFont);
    cb_AutoRun = Make<QCheckBox>(this, "cb_AutoRun", {122, 128, 160, 24});
    cb_AutoRun->setText(QStringLiteral(" Auto Run"));
    cb_AutoRun->setFont(labelFont);

    lbl_BinFile = MakeLabel(this, "lbl_BinFile", QStringLiteral("BIN档路径："), {12, 164, 108, 24},
                            labelFont);
    edt_BinFile = Make<QLineEdit>(this, "edt_BinFile", {122, 164, 493, 24});
    edt_BinFile->setFont(Face("Tahoma", 12));
    edt_BinFile->setReadOnly(true);
    edt_BinFile->setEnabled(false);
    // At the field's right end; the path's text stops short of it while it shows.
    lbl_BinIdentity = Make<QLabel>(edt_BinFile, "lbl_BinIdentity", {489 - 210, 1, 210, 22});
    lbl_BinIdentity->setFont(Face("Tahoma", 11));
    lbl_BinIdentity->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The field is always disabled; its identity stays readable all the same.
    lbl_BinIdentity->setStyleSheet(QStringLiteral("QLabel:disabled { color: rgb(64, 64, 64); }"));
    lbl_BinIdentity->hide();
}

void TForm1::CreateButtons() {
    const QFont font = Face("Tahoma", 16, true);
    const auto make = [&](const char* name, const QString& text, int left, bool enabled) {
        auto* button = Make<QPushButton>(this, name, {left, 204, 96, 44});
        button->setText(text);
        button->setFont(font);
        button->setEnabled(enabled);
        return button;
    };
    btn_Load = make("btn_Load", QStringLiteral("加载BIN档"), 40, true);
    btn_Write = make("btn_Write", QStringLiteral("烧录"), 188, false);
    btn_Verify = make("btn_Verify", QStringLiteral("校验"), 336, false);
    btn_Save = make("btn_Save", QStringLiteral("保存"), 484, false);
}

void TForm1::CreateWriteConfig() {
    const QFont labelFont = Face("Tahoma", 16);
    gbWriteConfig = Make<QGroupBox>(this, "gbWriteConfig", {8, 262, 609, 130});
    gbWriteConfig->setTitle(QStringLiteral("Write Parameter:"));
    gbWriteConfig->setFont(Face("Tahoma", 16));
    QWidget* g = gbWriteConfig;

    // Line 1: total count, data format pair, "*" and the 256-byte block count.
    lbl_WriteCount = MakeLabel(g, "lbl_WriteCount", QStringLiteral("Total Times："),
                               {10, 28, 120, 24}, labelFont);
    edt_AllCnt = MakeNumberField<TIntEdit>(g, "edt_AllCnt", "1", 4, {130, 28, 50, 24});
    lbl_WriteType = MakeLabel(g, "lbl_WriteType", QStringLiteral("Data Format："),
                              {200, 28, 120, 24}, labelFont);
    gbDataFormat = Make<QFrame>(g, "gbDataFormat", {320, 22, 200, 34});
    rb_CmdByte2K = Make<QRadioButton>(gbDataFormat, "rb_CmdByte2K", {6, 5, 90, 24});
    rb_CmdByte2K->setText(QStringLiteral("2K Byte"));
    rb_CmdByte2K->setFont(Face("Tahoma", 13));
    rb_CmdByte2K->setChecked(true);
    rb_CmdByte256 = Make<QRadioButton>(gbDataFormat, "rb_CmdByte256", {100, 5, 96, 24});
    rb_CmdByte256->setText(QStringLiteral("256 Byte"));
    rb_CmdByte256->setFont(Face("Tahoma", 13));
    Label1 = MakeLabel(g, "Label1", QStringLiteral("*"), {528, 28, 12, 24}, labelFont);
    edt_Write256Count =
        MakeNumberField<TIntEdit>(g, "edt_Write256Count", "8", 4, {544, 28, 50, 24});

    // Line 2: retry count and the factory-information check box.
    lbl_RetryCount = MakeLabel(g, "lbl_RetryCount", QStringLiteral("Retry Times："),
                               {10, 62, 120, 24}, labelFont);
    edt_RetryCnt = MakeNumberField<TIntEdit>(g, "edt_RetryCnt", "3", 4, {130, 62, 50, 24});
    lbl_RetryMode = MakeLabel(g, "lbl_RetryMode", QStringLiteral("烧录工厂信息："),
                              {200, 62, 120, 24}, labelFont);
    gbWriteID = Make<QFrame>(g, "gbWriteID", {320, 60, 200, 32});
    cb_WriteID = Make<QCheckBox>(gbWriteID, "cb_WriteID", {6, 4, 188, 24});
    cb_WriteID->setText(QStringLiteral("cb_WriteID"));
    cb_WriteID->setFont(Face("Tahoma", 13));

    // Line 3: settle time.
    lbl_sleepTime =
        MakeLabel(g, "lbl_sleepTime", QStringLiteral("Sleep Time:"), {10, 96, 120, 24}, labelFont);
    edt_sleepTime = MakeNumberField<TIntEdit>(g, "edt_sleepTime", "100", 3, {130, 96, 50, 24});
}

void TForm1::CreateResult() {
    gbResult = Make<QGroupBox>(this, "gbResult", {8, 400, 609, 104});
    gbResult->setTitle(QStringLiteral("烧录结果:"));
    gbResult->setFont(Face("Tahoma", 16));
    QWidget* g = gbResult;

    // One message area on the left; the four labels lie on top of one another, high enough
    // to leave two lines of the reason below them.
    const QRect area{16, 18, 320, 56};
    lbl_Result = MakeLabel(g, "lbl_Result", QStringLiteral("PASS"), area, Face("Tahoma", 48, true));
    lbl_Result->setAlignment(Qt::AlignCenter);
    SetTextColour(lbl_Result, Qt::blue);
    lbl_BINDevError = MakeLabel(g, "lbl_BINDevError", QStringLiteral("BIN类型和Mouse不匹配"),
                                {16, 34, 320, 24}, Face("Tahoma", 16, true));
    lbl_BINDevError->setAlignment(Qt::AlignCenter);
    SetTextColour(lbl_BINDevError, Qt::red);
    lbl_BINICTypeError = MakeLabel(g, "lbl_BINICTypeError", QStringLiteral("BIN类型和IC种类不匹配"),
                                   {16, 34, 320, 24}, Face("Tahoma", 16, true));
    lbl_BINICTypeError->setAlignment(Qt::AlignCenter);
    SetTextColour(lbl_BINICTypeError, Qt::red);
    lbl_CtrlResult = MakeLabel(g, "lbl_CtrlResult", QStringLiteral("BIN类型和IC种类不匹配"), area,
                               Face("Tahoma", 16, true));
    lbl_CtrlResult->setAlignment(Qt::AlignCenter);
    // Under the message area, left of the pass counter, in up to two lines; the tooltip
    // holds it too.
    lbl_ResultReason =
        MakeLabel(g, "lbl_ResultReason", QString(), {16, 70, 348, 30}, Face("Tahoma", 11));
    lbl_ResultReason->setAlignment(Qt::AlignCenter);
    lbl_ResultReason->setWordWrap(true);
    SetTextColour(lbl_ResultReason, QColor(128, 0, 0));
    for (QWidget* label : ResultLabels()) label->hide();

    lbl_PassNum = MakeLabel(g, "lbl_PassNum", QStringLiteral("Pass Number:"), {370, 44, 140, 28},
                            Face("Tahoma", 16, true));
    lbl_PassCnt = MakeLabel(g, "lbl_PassCnt", QStringLiteral("0"), {510, 44, 90, 28},
                            Face("Tahoma", 16, true));
    lbl_PassCnt->setAlignment(Qt::AlignCenter);
    SetTextColour(lbl_PassCnt, Qt::blue);
}

void TForm1::CreateFactoryConfig() {
    gbFactoryConfig = Make<QGroupBox>(this, "gbFactoryConfig", {8, 512, 609, 158});
    gbFactoryConfig->setTitle(QStringLiteral("烧录工厂配置:"));
    gbFactoryConfig->setFont(Face("Tahoma", 16));
    QWidget* g = gbFactoryConfig;
    const QFont labelFont = Face("Tahoma", 13);
    const QFont listFont = Face("Tahoma", 12);

    lbl_FactoryType =
        MakeLabel(g, "lbl_FactoryType", QStringLiteral("产品型号："), {10, 30, 90, 24}, labelFont);
    edt_FactoryType = MakeNumberField<THexEdit>(g, "edt_FactoryType", "0005", 4, {100, 30, 90, 24});
    lbl_FactoryDate =
        MakeLabel(g, "lbl_FactoryDate", QStringLiteral("生产日期："), {210, 30, 90, 24}, labelFont);
    edt_FactoryDate =
        MakeNumberField<THexEdit>(g, "edt_FactoryDate", "20200527", 8, {300, 30, 90, 24});
    lbl_FactoryNum =
        MakeLabel(g, "lbl_FactoryNum", QStringLiteral("产品编号："), {410, 30, 90, 24}, labelFont);
    edt_FactoryNum = MakeNumberField<THexEdit>(g, "edt_FactoryNum", "000001", 6, {500, 30, 90, 24});

    lbl_Factory =
        MakeLabel(g, "lbl_Factory", QStringLiteral("厂别："), {10, 68, 90, 24}, labelFont);
    cb_Factory = MakeList(g, "cb_Factory", Range('1', '8'), {100, 68, 90, 24}, listFont);
    Label2 = MakeLabel(g, "Label2", QStringLiteral("线别："), {210, 68, 90, 24}, labelFont);
    cb_FactoryLine = MakeList(g, "cb_FactoryLine", Range('A', 'Z'), {300, 68, 90, 24}, listFont);
    Label3 = MakeLabel(g, "Label3", QStringLiteral("站别："), {410, 68, 90, 24}, labelFont);
    cb_FactoryStation =
        MakeList(g, "cb_FactoryStation", Range('1', '8'), {500, 68, 90, 24}, listFont);

    btnReadFactory = Make<QPushButton>(g, "btnReadFactory", {389, 110, 201, 36});
    btnReadFactory->setText(QStringLiteral("回读"));
    btnReadFactory->setFont(Face("Tahoma", 16, true));
    btnReadFactory->setEnabled(false);
}

void TForm1::ApplyLook() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(239, 235, 222));
    setPalette(palette);
    setAutoFillBackground(true);
    setFont(Face("MS Sans Serif", 11));
    // Each of the window's own controls carries the sheet; on the window itself it
    // would also reach the file dialogs and message boxes opened over it, which keep
    // the platform's look. A focused field or list is framed in the window's blue,
    // with one pixel less padding, so its text does not move.
    const QString sheet = QStringLiteral(
        "QLineEdit, QComboBox { background: rgb(239, 235, 222); border: 1px solid black;"
        " padding: 1px; }"
        "QLineEdit:focus, QComboBox:focus { border: 2px solid rgb(0, 44, 200); padding: 0px; }"
        "QComboBox::drop-down { background: rgb(231, 231, 231); border-left: 1px solid black;"
        " width: 16px; }"
        "QComboBox::down-arrow { image: url(:/arrow.png); }"
        // Read-only and disabled, but the path must stay legible: black, not greyed.
        "QLineEdit#edt_BinFile, QLineEdit#edt_BinFile:disabled { background: rgb(192, 220, 192);"
        " color: black; }"
        // The product number while a ledger gives it: shown like the path, not typed.
        "QLineEdit#edt_FactoryNum[readOnly=\"true\"] { background: rgb(192, 220, 192); }"
        "QGroupBox { border: 1px solid rgb(104, 104, 104); margin-top: 10px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"
        "QFrame#gbDataFormat, QFrame#gbWriteID { border: 1px solid rgb(104, 104, 104); }");
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        control->setStyleSheet(sheet);
    }
}

void TForm1::SetKeyboardOrder() {
    const QList<QWidget*> order = KeyboardOrder();
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    // Keeps its place in the order, but never takes the focus.
    edt_BinFile->setFocusPolicy(Qt::NoFocus);
}

}  // namespace bw
