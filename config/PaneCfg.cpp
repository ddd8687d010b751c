#include "config/PaneCfg.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTextCursor>
#include <QTreeWidget>

#include <bit>
#include <cmath>

#include "app/AppUIQt.h"
#include "app/Bytes.h"
#include "app/TextCodec.h"
#include "app/Vantrix.h"

CfgImage& CCfgPane::Img() { return *m_app.Model().m_cfg.GetData(); }

namespace cfgui {

QString FieldText(const char* field, size_t size) {
    return QString::fromStdString(cp1250::ToUtf8(bytes::FieldStr(field, size)));
}

void StoreText(char* field, size_t size, const QString& text) {
    bytes::SetField(field, size, cp1250::FromUtf8(text.toStdString()));
}

QString MemoFieldText(const char* field, size_t size) {
    return FieldText(field, size).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void StoreMemoText(char* field, size_t size, const QString& text) {
    StoreText(field, size, QString(text).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

namespace {

constexpr char kShownText[] = "vtxShownText";
constexpr char kLoadingMemo[] = "vtxLoadingMemo";

// Whether the control still shows the text it was loaded with.
bool Unchanged(const QObject* w, const QString& text) {
    const QVariant shown = w->property(kShownText);
    return shown.isValid() && shown.toString() == text;
}

// Bytes a character takes in the image: every character is one Windows-1250
// byte (or '?'), a line break is CR LF, the second half of a surrogate pair
// belongs to the first.
int Cost(QChar c) { return c == QLatin1Char('\n') ? 2 : c.isLowSurrogate() ? 0 : 1; }

int StoredBytes(const QString& text) {
    int n = 0;
    for (QChar c : text) n += Cost(c);
    return n;
}

void CutMemo(QPlainTextEdit* memo, int bytes) {
    if (memo->property(kLoadingMemo).isValid()) return;  // a loaded text is shown whole
    QString text = memo->toPlainText();
    int excess = StoredBytes(text) - bytes;
    if (excess <= 0) return;
    // First what stands just before the cursor: that was typed or pasted last.
    QTextCursor cursor = memo->textCursor();
    const int end = cursor.position();
    int start = end;
    while (start > 0 && excess > 0) excess -= Cost(text[--start]);
    if (start < end) {
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    if (excess <= 0) return;
    text = memo->toPlainText();
    int keep = int(text.size());
    while (keep > 0 && excess > 0) excess -= Cost(text[--keep]);
    cursor.setPosition(keep);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

constexpr char kKeepByte[] = "vtxKeepByte";

template <class W> void TrackValue(W* w) {
    QObject::connect(w, &W::valueChanged, w, [w] { w->setProperty(kKeepByte, QVariant()); });
}

template <class W> void LoadValue(W* w, int value) {
    w->setProperty(kKeepByte, QVariant());
    w->setValue(value);
    if (w->value() != value) w->setProperty(kKeepByte, true);
}

template <class W> void StoreValue(const W* w, uint8_t& field) {
    if (!w->property(kKeepByte).isValid()) field = uint8_t(w->value());
}

QLocale UserLocale() {
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return l;
}

QLocale PointLocale() {
    QLocale l = QLocale::c();
    l.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return l;
}

bool SameFloat(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) || (std::isnan(a) && std::isnan(b));
}

}  // namespace

void LoadText(QLineEdit* edit, const char* field, size_t size) {
    edit->setText(FieldText(field, size));
    edit->setProperty(kShownText, edit->text());
}

void StoreText(char* field, size_t size, const QLineEdit* edit) {
    if (!Unchanged(edit, edit->text())) StoreText(field, size, edit->text());
}

void LoadMemo(QPlainTextEdit* memo, const char* field, size_t size) {
    memo->setProperty(kLoadingMemo, true);
    memo->setPlainText(MemoFieldText(field, size));
    memo->setProperty(kLoadingMemo, QVariant());
    memo->setProperty(kShownText, memo->toPlainText());
}

void StoreMemo(char* field, size_t size, const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    if (!Unchanged(memo, text)) StoreMemoText(field, size, text);
}

void LimitMemo(QPlainTextEdit* memo, int bytes) {
    QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [memo, bytes] { CutMemo(memo, bytes); });
}

void SetFittingText(QLineEdit* edit, const QString& text, int limit) {
    edit->setMaxLength(std::max(limit, int(text.size())));
    edit->setText(text);
}

void CheckRadio(std::initializer_list<QRadioButton*> radios, int index) {
    // An exclusive radio cannot be unchecked while it is the checked one.
    for (QRadioButton* r : radios) r->setAutoExclusive(false);
    int i = 0;
    for (QRadioButton* r : radios) r->setChecked(i++ == index);
    for (QRadioButton* r : radios) r->setAutoExclusive(true);
}

int CheckedRadio(std::initializer_list<QRadioButton*> radios) {
    int i = 0;
    for (QRadioButton* r : radios) {
        if (r->isChecked()) return i;
        ++i;
    }
    return -1;
}

int SelectedRow(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

void Track(QSpinBox* w) { TrackValue(w); }
void Track(QSlider* w) { TrackValue(w); }
void LoadByte(QSpinBox* w, int value) { LoadValue(w, value); }
void LoadByte(QSlider* w, int value) { LoadValue(w, value); }
void StoreByte(const QSpinBox* w, uint8_t& field) { StoreValue(w, field); }
void StoreByte(const QSlider* w, uint8_t& field) { StoreValue(w, field); }

QString CreditText(float value) {
    const QLocale l = UserLocale();
    QString text;
    // Seventeen significant digits bring any float back, also one whose
    // shorter forms lie just beyond the largest float.
    for (int digits = 1; digits <= 17; ++digits) {
        text = l.toString(double(value), 'g', digits);
        if (SameFloat(ParseCredit(text), value)) break;
    }
    return text;
}

float ParseCredit(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    float v = UserLocale().toFloat(t, &ok);
    if (!ok) v = PointLocale().toFloat(t, &ok);
    if (!ok) v = PointLocale().toFloat(QString(t).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    return ok ? v : 0.0f;
}

void ConnectEdits(QWidget* frame, const std::function<void()>& handler) {
    for (QLineEdit* w : frame->findChildren<QLineEdit*>()) {
        if (qobject_cast<QAbstractSpinBox*>(w->parent())) continue;  // the spin box reports its value
        QObject::connect(w, &QLineEdit::textChanged, frame, handler);
    }
    for (QPlainTextEdit* w : frame->findChildren<QPlainTextEdit*>())
        QObject::connect(w, &QPlainTextEdit::textChanged, frame, handler);
    for (QSpinBox* w : frame->findChildren<QSpinBox*>()) QObject::connect(w, &QSpinBox::valueChanged, frame, handler);
    for (QSlider* w : frame->findChildren<QSlider*>()) QObject::connect(w, &QSlider::valueChanged, frame, handler);
    for (QCheckBox* w : frame->findChildren<QCheckBox*>()) QObject::connect(w, &QCheckBox::toggled, frame, handler);
    for (QRadioButton* w : frame->findChildren<QRadioButton*>())
        QObject::connect(w, &QRadioButton::toggled, frame, handler);
    for (QComboBox* w : frame->findChildren<QComboBox*>())
        QObject::connect(w, &QComboBox::currentIndexChanged, frame, handler);
}

}  // namespace cfgui
