// What the configuration pages share: the base of their panes, the one place
// where texts cross between the controls (UTF-8) and the image (Windows-1250),
// radio groups that may show no choice, byte controls that keep a value they
// cannot show, and the minimum credit as the user's locale writes it.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "app/PaneMng.h"
#include "config/CfgImage.h"

class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTreeWidget;
class QWidget;

// A pane that edits the configuration image.
class CCfgPane : public CPane {
public:
    CCfgPane(CAppUI& app, int index) : CPane(app, index, PaneFailCode(index)) {}
    // The change handler of the page's controls: marks the document modified
    // unless the page is being filled.
    void OnDataChange() { DataChanged(); }

protected:
    CfgImage& Img();
};

namespace cfgui {

// --- Texts: a field's bytes up to its terminator, converted once each way.
QString FieldText(const char* field, size_t size);
template <size_t N> QString FieldText(const char (&field)[N]) { return FieldText(field, N); }
void StoreText(char* field, size_t size, const QString& text);
template <size_t N> void StoreText(char (&field)[N], const QString& text) { StoreText(field, N, text); }

// Memo texts keep CR LF line breaks in the image, as typed on the device's
// original PC program; the control shows plain line breaks.
QString MemoFieldText(const char* field, size_t size);
template <size_t N> QString MemoFieldText(const char (&field)[N]) { return MemoFieldText(field, N); }
void StoreMemoText(char* field, size_t size, const QString& text);
template <size_t N> void StoreMemoText(char (&field)[N], const QString& text) { StoreMemoText(field, N, text); }
// A field's text in an edit or memo, and back only when the control shows
// something else than it was loaded with: a page the user only looked at
// keeps every byte, also what the control cannot show (a lone CR or LF,
// 0xA0, a field without a terminator).
void LoadText(QLineEdit* edit, const char* field, size_t size);
template <size_t N> void LoadText(QLineEdit* edit, const char (&field)[N]) { LoadText(edit, field, N); }
void StoreText(char* field, size_t size, const QLineEdit* edit);
template <size_t N> void StoreText(char (&field)[N], const QLineEdit* edit) { StoreText(field, N, edit); }
void LoadMemo(QPlainTextEdit* memo, const char* field, size_t size);
template <size_t N> void LoadMemo(QPlainTextEdit* memo, const char (&field)[N]) { LoadMemo(memo, field, N); }
void StoreMemo(char* field, size_t size, const QPlainTextEdit* memo);
template <size_t N> void StoreMemo(char (&field)[N], const QPlainTextEdit* memo) { StoreMemo(field, N, memo); }
// Keeps a memo within `bytes` bytes of the image: what was just typed or
// pasted beyond that is cut off.
void LimitMemo(QPlainTextEdit* memo, int bytes);

// An edit that limits typing to `limit` characters but shows a longer loaded
// text whole, so that leaving the page stores it back unchanged.
void SetFittingText(QLineEdit* edit, const QString& text, int limit);

// --- Radio groups. Checks radios[index], or none when index is out of range.
void CheckRadio(std::initializer_list<QRadioButton*> radios, int index);
// Index of the checked radio, -1 when none is.
int CheckedRadio(std::initializer_list<QRadioButton*> radios);

// Row of the first selected item of a flat list, -1 when none is selected.
int SelectedRow(const QTreeWidget* list);

// --- Byte values in a control with a narrower range. A value outside the
// range is shown at the nearest end and stored back unchanged until the user
// moves the control. Track() once per control after setupUi.
void Track(QSpinBox* w);
void Track(QSlider* w);
void LoadByte(QSpinBox* w, int value);
void LoadByte(QSlider* w, int value);
void StoreByte(const QSpinBox* w, uint8_t& field);
void StoreByte(const QSlider* w, uint8_t& field);

// --- The minimum credit: the shortest text in the user's locale that reads
// back as the same float; reading accepts that locale's decimal separator or
// a point (and a comma), a text that is not a number gives 0.
QString CreditText(float value);
float ParseCredit(const QString& text);

// Connects every edit, memo, spin box, slider, check box, radio and drop-down
// of a frame to one change handler.
void ConnectEdits(QWidget* frame, const std::function<void()>& handler);

}  // namespace cfgui
