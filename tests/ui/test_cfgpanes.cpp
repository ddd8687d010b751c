// The configuration pages, driven offscreen like a user: every control of a
// page edited, saved, reopened and found in the file's bytes at the offsets
// of the native layout (an own table here, not the product's structures);
// the edge cases of each page; the configuration commands; and a
// configuration written to the simulator and read back.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <cstring>
#include <functional>

#include "app/Bytes.h"
#include "config/DlgRenum.h"
#include "config/DlgSetEnDir.h"
#include "config/PaneCfg.h"
#include "tests/ui/UiHarness.h"
#include "ui_DlgRenum.h"
#include "ui_DlgSetEnDir.h"

namespace {

// Nodes of the configuration tree.
enum CfgNode {
    N_ENDIRS = 1,
    N_CALLPARS = 2,
    N_RENUM = 3,
    N_SIM1 = 5,
    N_SIM2 = 6,
    N_SMS = 7,
    N_TIMEPARS = 8,
    N_BASIC1 = 9,
    N_BASIC2 = 10,
    N_ALARMS = 11,
    N_ALARM1 = 12,
};

// A control on its own page (names such as m_pBtnSet occur on more than one).
template <class T> T* On(UiHarness& h, int pane, const char* name) {
    T* w = h.Panes()->Get(pane)->m_pFrame->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s on pane %d", name, pane);
    return w;
}

// Drives the next modal dialog of class T once it is up; a dialog that the
// driver leaves open is cancelled, so a failing test cannot hang.
template <class T> void DriveModal(std::function<void(T*)> drive) {
    auto* timer = new QTimer;
    auto* waited = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, drive] {
        T* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dlg && ++*waited < 500) return;
        timer->stop();
        timer->deleteLater();
        delete waited;
        if (dlg) drive(dlg);
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) open->reject();
    });
    timer->start(10);
}

// Expected bytes of one field of the native image (file offset = 8 + offset).
struct Field {
    uint32_t offset;
    QByteArray bytes;
};
Field Byte(uint32_t offset, uint8_t v) { return {offset, QByteArray(1, char(v))}; }
// A text field: the Windows-1250 bytes, the terminator and zeros to its size.
Field Text(uint32_t offset, const char* cp1250, int size) {
    QByteArray b(cp1250);
    b.append(QByteArray(size - int(b.size()), '\0'));
    return {offset, b};
}
Field FloatLE(uint32_t offset, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    QByteArray b;
    for (int i = 0; i < 4; ++i) b.append(char(u >> (8 * i)));
    return {offset, b};
}

using Step = std::function<void(UiHarness&)>;

// One page: the edits that set every control to a value other than the
// default, the bytes they must leave in the file, and the controls after
// reopening.
struct PaneCase {
    int node;
    std::vector<std::pair<const char*, Step>> edits;
    std::vector<Field> expected;
    Step verify;
};

QString Repeat(const char* s, int n) { return QString::fromUtf8(s).repeated(n); }

// ---- the pages' cases

void SetEnDir(UiHarness& h, int row, const QString& prefix, const char* radio, bool doubleClick = false) {
    auto* list = On<QTreeWidget>(h, PANE_CALLENDIRS, "m_pLsvEnDirs");
    list->setCurrentItem(list->topLevelItem(row));
    DriveModal<TFrmSetEnDir>([prefix, radio](TFrmSetEnDir* d) {
        d->ui->m_pTxtEnDir->setText(prefix);
        d->findChild<QRadioButton*>(QString::fromLatin1(radio))->click();
        d->ui->m_pBtnOk->click();
    });
    if (doubleClick)
        emit list->itemDoubleClicked(list->topLevelItem(row), 0);
    else
        On<QPushButton>(h, PANE_CALLENDIRS, "m_pBtnSet")->click();
}

void SetRenum(UiHarness& h, int row, const QString& in, const QString& out, const char* radio) {
    auto* list = On<QTreeWidget>(h, PANE_RENUM, "iLsvRenum");
    list->setCurrentItem(list->topLevelItem(row));
    DriveModal<TFrmRenumItem>([in, out, radio](TFrmRenumItem* d) {
        d->ui->iTxtENum->setText(in);
        d->ui->iTxtRNum->setText(out);
        d->findChild<QRadioButton*>(QString::fromLatin1(radio))->click();
        d->ui->iBtnOk->click();
    });
    On<QPushButton>(h, PANE_RENUM, "iBtnSet")->click();
}

QStringList Row(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    return {item->text(0), item->text(1), item->text(2)};
}

std::vector<PaneCase> Cases() {
    std::vector<PaneCase> cases;
    const int B1 = PANE_BASIC1, B2 = PANE_BASIC2, CP = PANE_CALLPARS, ED = PANE_CALLENDIRS, RN = PANE_RENUM,
              SI = PANE_SIM, AL = PANE_ALARM, SM = PANE_SMSCFG, TP = PANE_TIMEPARS;

    cases.push_back(
        {N_BASIC1,
         {{"programming character", [=](UiHarness& h) { On<QRadioButton>(h, B1, "m_pRdbSCode2")->click(); }},
          {"tariff radio", [=](UiHarness& h) { On<QRadioButton>(h, B1, "m_pRdbTariff4")->click(); }},
          {"tariff interval", [=](UiHarness& h) { On<QSpinBox>(h, B1, "m_pUDTariff4")->setValue(45); }},
          {"audio in", [=](UiHarness& h) { On<QSlider>(h, B1, "m_pTBrAIn")->setValue(100); }},
          {"audio out", [=](UiHarness& h) { On<QSlider>(h, B1, "m_pTBrAOut")->setValue(17); }}},
         {Byte(1796, 1), Byte(1797, 45), Byte(1615, 100), Byte(1616, 17)},
         [=](UiHarness& h) {
             QVERIFY(On<QRadioButton>(h, B1, "m_pRdbSCode2")->isChecked());
             QVERIFY(On<QRadioButton>(h, B1, "m_pRdbTariff4")->isChecked());
             QCOMPARE(On<QSpinBox>(h, B1, "m_pUDTariff4")->value(), 45);
             QVERIFY(On<QSpinBox>(h, B1, "m_pUDTariff4")->isEnabled());
             QCOMPARE(On<QSlider>(h, B1, "m_pTBrAIn")->value(), 100);
             QCOMPARE(On<QSlider>(h, B1, "m_pTBrAOut")->value(), 17);
         }});

    cases.push_back({N_BASIC2,
                     {{"speed", [=](UiHarness& h) { On<QComboBox>(h, B2, "m_pCmbBaudRate")->setCurrentIndex(3); }},
                      {"flow control", [=](UiHarness& h) { On<QCheckBox>(h, B2, "m_pChbFlowCtrl")->click(); }},
                      {"remote access", [=](UiHarness& h) { On<QCheckBox>(h, B2, "m_pChbRAccess")->click(); }},
                      {"format", [=](UiHarness& h) { On<QRadioButton>(h, B2, "m_pRdbFormat2")->click(); }},
                      {"CLIP", [=](UiHarness& h) { On<QCheckBox>(h, B2, "m_pChbCLIP")->click(); }},
                      {"voice", [=](UiHarness& h) { On<QCheckBox>(h, B2, "m_pChbCall1")->click(); }},
                      {"data", [=](UiHarness& h) { On<QCheckBox>(h, B2, "m_pChbCall2")->click(); }},
                      {"fax", [=](UiHarness& h) { On<QCheckBox>(h, B2, "m_pChbCall3")->click(); }}},
                     {Byte(0, 3), Byte(1, 1), Byte(21, 1), Byte(2, 8 | 16 | 1)},
                     [=](UiHarness& h) {
                         QCOMPARE(On<QComboBox>(h, B2, "m_pCmbBaudRate")->currentText(), QStringLiteral("2400"));
                         QVERIFY(On<QCheckBox>(h, B2, "m_pChbFlowCtrl")->isChecked());
                         QVERIFY(On<QCheckBox>(h, B2, "m_pChbRAccess")->isChecked());
                         QVERIFY(On<QRadioButton>(h, B2, "m_pRdbFormat2")->isChecked());
                         QVERIFY(On<QCheckBox>(h, B2, "m_pChbCLIP")->isChecked());
                         QVERIFY(On<QCheckBox>(h, B2, "m_pChbCall1")->isChecked());
                         QVERIFY(!On<QCheckBox>(h, B2, "m_pChbCall2")->isChecked());
                         QVERIFY(!On<QCheckBox>(h, B2, "m_pChbCall3")->isChecked());
                     }});

    cases.push_back(
        {N_CALLPARS,
         {{"completion", [=](UiHarness& h) { On<QLineEdit>(h, CP, "m_pTxtAddDir")->setText(QStringLiteral("12ž")); }},
          {"denied code",
           [=](UiHarness& h) { On<QLineEdit>(h, CP, "m_pTxtDelNum")->setText(QStringLiteral("*99#abcdef")); }},
          {"digits", [=](UiHarness& h) { On<QSpinBox>(h, CP, "m_pUDMaxNumLen")->setValue(17); }}},
         {Text(1617, "12\x9E", 8), Text(1625, "*99#abc", 8), Byte(1793, 17)},
         [=](UiHarness& h) {
             QCOMPARE(On<QLineEdit>(h, CP, "m_pTxtAddDir")->text(), QStringLiteral("12ž"));
             QCOMPARE(On<QLineEdit>(h, CP, "m_pTxtDelNum")->text(), QStringLiteral("*99#abc"));
             QCOMPARE(On<QSpinBox>(h, CP, "m_pUDMaxNumLen")->value(), 17);
         }});

    cases.push_back(
        {N_ENDIRS,
         {{"slot 1", [](UiHarness& h) { SetEnDir(h, 0, QStringLiteral("420777"), "m_pRdbSIM2"); }},
          {"slot 12", [](UiHarness& h) { SetEnDir(h, 11, QStringLiteral("00421"), "m_pRdbSIM1"); }},
          {"slot 3 by double click", [](UiHarness& h) { SetEnDir(h, 2, QStringLiteral("33"), "m_pRdbAllSIM", true); }},
          {"slot 5 deleted",
           [=](UiHarness& h) {
               auto* list = On<QTreeWidget>(h, ED, "m_pLsvEnDirs");
               list->setCurrentItem(list->topLevelItem(4));
               On<QPushButton>(h, ED, "m_pBtnDel")->click();
           }}},
         {Text(1633, "420777", 8), Byte(1761, 2), Text(1633 + 11 * 8, "00421", 8), Byte(1761 + 11, 1),
          Text(1633 + 2 * 8, "33", 8), Byte(1761 + 2, 0), Text(1633 + 4 * 8, "", 8), Byte(1761 + 4, 0)},
         [=](UiHarness& h) {
             auto* list = On<QTreeWidget>(h, ED, "m_pLsvEnDirs");
             QCOMPARE(list->topLevelItemCount(), 16);
             QCOMPARE(Row(list, 0), (QStringList{"ne", "ano", "420777"}));
             QCOMPARE(Row(list, 11), (QStringList{"ano", "ne", "00421"}));
             QCOMPARE(Row(list, 2), (QStringList{"ano", "ano", "33"}));
             QCOMPARE(Row(list, 4), (QStringList{"ano", "ano", "-"}));
         }});

    cases.push_back(
        {N_RENUM,
         {{"enabled", [=](UiHarness& h) { On<QCheckBox>(h, RN, "iChbEnable")->click(); }},
          {"DTMF delay", [=](UiHarness& h) { On<QSpinBox>(h, RN, "iUDPDDelay")->setValue(200); }},
          {"DTMF length", [=](UiHarness& h) { On<QSpinBox>(h, RN, "iUDPDWidth")->setValue(9); }},
          {"entry 1",
           [](UiHarness& h) { SetRenum(h, 0, QStringLiteral("0800"), QStringLiteral("420800ěš"), "iRdbPostDial"); }},
          {"entry 4", [](UiHarness& h) { SetRenum(h, 3, QStringLiteral("12"), QString(), "iRdbInitDial"); }}},
         {Byte(1844, 0), Byte(1845, 200), Byte(1846, 9), Text(1847, "0800", 21), Text(1868, "420800\xEC\x9A", 21),
          Byte(1889, 1), Text(1847 + 3 * 43, "12", 21), Text(1868 + 3 * 43, "", 21), Byte(1889 + 3 * 43, 0)},
         [=](UiHarness& h) {
             QVERIFY(!On<QCheckBox>(h, RN, "iChbEnable")->isChecked());
             QCOMPARE(On<QSpinBox>(h, RN, "iUDPDDelay")->value(), 200);
             QCOMPARE(On<QSpinBox>(h, RN, "iUDPDWidth")->value(), 9);
             auto* list = On<QTreeWidget>(h, RN, "iLsvRenum");
             QCOMPARE(Row(list, 0), (QStringList{"0800", "420800ěš", "dodatečná volba"}));
             QCOMPARE(Row(list, 3), (QStringList{"12", "", "náhradní volba"}));
             QCOMPARE(Row(list, 1), (QStringList{"-", "-", "-"}));
         }});

    // SIM card 2, so that the second record's offsets are the ones checked.
    const QString mcall = QStringLiteral("+420ěščřžýáíéúů0123456789");
    cases.push_back(
        {N_SIM2,
         {{"active", [=](UiHarness& h) { On<QCheckBox>(h, SI, "m_pChbActiveSIM")->click(); }},
          {"default", [=](UiHarness& h) { On<QCheckBox>(h, SI, "m_pChbDefaultSIM")->click(); }},
          {"PIN", [=](UiHarness& h) { On<QLineEdit>(h, SI, "m_pTxtPIN")->setText(QStringLiteral("4321ž")); }},
          {"monthly call", [=](UiHarness& h) { On<QLineEdit>(h, SI, "m_pTxtMCall")->setText(mcall); }},
          {"switch melody", [=](UiHarness& h) { On<QSpinBox>(h, SI, "m_pUDSIMMusic")->setValue(7); }},
          {"monthly melody", [=](UiHarness& h) { On<QSpinBox>(h, SI, "m_pUDMCallMusic")->setValue(250); }},
          {"tone", [=](UiHarness& h) { On<QRadioButton>(h, SI, "m_pRdbTone5")->click(); }},
          {"credit mode", [=](UiHarness& h) { On<QRadioButton>(h, SI, "m_pRdbCMode3")->click(); }},
          {"query code", [=](UiHarness& h) { On<QLineEdit>(h, SI, "m_pTxtCCmd")->setText(QStringLiteral("*104#")); }},
          {"minimum", [=](UiHarness& h) { On<QLineEdit>(h, SI, "m_pTxtLowVal")->setText(QStringLiteral("12.5")); }}},
         {Byte(1786, 3),
          Text(12, "4321\x9E", 9),
          Text(1822,
               "+420\xEC\x9A\xE8\xF8\x9E\xFD\xE1\xED\xE9\xFA\xF9"
               "01234",
               21),
          Byte(1788, 7),
          Byte(1843, 250),
          Byte(1795, 1),
          Byte(58, 2),
          Text(59, "*104#", 9),
          FloatLE(68, 12.5f),
          {68, QByteArray("\x00\x00\x48\x41", 4)}},
         [=](UiHarness& h) {
             QVERIFY(On<QCheckBox>(h, SI, "m_pChbActiveSIM")->isChecked());
             QVERIFY(On<QCheckBox>(h, SI, "m_pChbDefaultSIM")->isChecked());
             QCOMPARE(On<QLineEdit>(h, SI, "m_pTxtPIN")->text(), QStringLiteral("4321ž"));
             QCOMPARE(On<QLineEdit>(h, SI, "m_pTxtMCall")->text(), mcall.left(20));
             QCOMPARE(On<QSpinBox>(h, SI, "m_pUDSIMMusic")->value(), 7);
             QCOMPARE(On<QSpinBox>(h, SI, "m_pUDMCallMusic")->value(), 250);
             QVERIFY(On<QRadioButton>(h, SI, "m_pRdbTone5")->isChecked());
             QVERIFY(On<QRadioButton>(h, SI, "m_pRdbCMode3")->isChecked());
             QCOMPARE(On<QLineEdit>(h, SI, "m_pTxtCCmd")->text(), QStringLiteral("*104#"));
             QCOMPARE(On<QLineEdit>(h, SI, "m_pTxtLowVal")->text(), QStringLiteral("12.5"));
         }});

    // Alarm 6: record at 295 + 165 * 5.
    cases.push_back(
        {N_ALARM1 + 5,
         {{"call", [=](UiHarness& h) { On<QLineEdit>(h, AL, "m_pTxtACall")->setText(QStringLiteral("112")); }},
          {"melody", [=](UiHarness& h) { On<QSpinBox>(h, AL, "m_pUDAMusic")->setValue(99); }},
          {"SMS1", [=](UiHarness& h) { On<QLineEdit>(h, AL, "m_pTxtASMS1")->setText(QStringLiteral("+420111")); }},
          {"SMS2", [=](UiHarness& h) { On<QLineEdit>(h, AL, "m_pTxtASMS2")->setText(QStringLiteral("+420222")); }},
          {"text",
           [=](UiHarness& h) {
               On<QPlainTextEdit>(h, AL, "m_pTxtASMS")->setPlainText(QStringLiteral("Požár v\nhale"));
           }}},
         {Text(1120, "112", 21), Byte(1284, 99), Text(1141, "+420111", 21), Text(1162, "+420222", 21),
          Text(1183, "Po\x9E\xE1r v\r\nhale", 101)},
         [=](UiHarness& h) {
             QCOMPARE(On<QGroupBox>(h, AL, "m_pGrbMain")->title(), QStringLiteral("Alarm 6"));
             QCOMPARE(On<QLineEdit>(h, AL, "m_pTxtACall")->text(), QStringLiteral("112"));
             QCOMPARE(On<QSpinBox>(h, AL, "m_pUDAMusic")->value(), 99);
             QCOMPARE(On<QLineEdit>(h, AL, "m_pTxtASMS1")->text(), QStringLiteral("+420111"));
             QCOMPARE(On<QLineEdit>(h, AL, "m_pTxtASMS2")->text(), QStringLiteral("+420222"));
             QCOMPARE(On<QPlainTextEdit>(h, AL, "m_pTxtASMS")->toPlainText(), QStringLiteral("Požár v\nhale"));
         }});

    // The reset text is typed 120 characters long: 100 reach the image.
    cases.push_back(
        {N_SMS,
         {{"mode", [=](UiHarness& h) { On<QRadioButton>(h, SM, "m_pRdbMode3")->click(); }},
          {"forward",
           [=](UiHarness& h) { On<QLineEdit>(h, SM, "m_pTxtForwardNum")->setText(QStringLiteral("+420602")); }},
          {"info", [=](UiHarness& h) { On<QLineEdit>(h, SM, "m_pTxtInfoSMS")->setText(QStringLiteral("+420603")); }},
          {"reset text",
           [=](UiHarness& h) { On<QPlainTextEdit>(h, SM, "m_pTxtResetTxt")->setPlainText(Repeat("řx", 60)); }},
          {"credit text",
           [=](UiHarness& h) {
               On<QPlainTextEdit>(h, SM, "m_pTxtCreditTxt")->setPlainText(QStringLiteral("Kredit došel"));
           }}},
         {Byte(22, 2), Text(23, "+420602", 21), Text(72, "+420603", 21),
          Text(93, QByteArray("\xF8x").repeated(50).constData(), 101),
          Text(194,
               "Kredit do\x9A"
               "el",
               101)},
         [=](UiHarness& h) {
             QVERIFY(On<QRadioButton>(h, SM, "m_pRdbMode3")->isChecked());
             QVERIFY(On<QLineEdit>(h, SM, "m_pTxtForwardNum")->isEnabled());
             QCOMPARE(On<QLineEdit>(h, SM, "m_pTxtForwardNum")->text(), QStringLiteral("+420602"));
             QCOMPARE(On<QLineEdit>(h, SM, "m_pTxtInfoSMS")->text(), QStringLiteral("+420603"));
             QCOMPARE(On<QPlainTextEdit>(h, SM, "m_pTxtResetTxt")->toPlainText(), Repeat("řx", 50));
             QCOMPARE(On<QPlainTextEdit>(h, SM, "m_pTxtCreditTxt")->toPlainText(), QStringLiteral("Kredit došel"));
         }});

    cases.push_back({N_TIMEPARS,
                     {{"ring", [=](UiHarness& h) { On<QSpinBox>(h, TP, "m_pUDRRingLen")->setValue(11); }},
                      {"delay", [=](UiHarness& h) { On<QSpinBox>(h, TP, "m_pUDDDelay")->setValue(22); }},
                      {"wait", [=](UiHarness& h) { On<QSpinBox>(h, TP, "m_pUDDTimeout1")->setValue(255); }},
                      {"look-up", [=](UiHarness& h) { On<QSpinBox>(h, TP, "m_pUDDTimeout2")->setValue(44); }}},
                     {Byte(1789, 11), Byte(1790, 22), Byte(1791, 255), Byte(1792, 44)},
                     [=](UiHarness& h) {
                         QCOMPARE(On<QSpinBox>(h, TP, "m_pUDRRingLen")->value(), 11);
                         QCOMPARE(On<QSpinBox>(h, TP, "m_pUDDDelay")->value(), 22);
                         QCOMPARE(On<QSpinBox>(h, TP, "m_pUDDTimeout1")->value(), 255);
                         QCOMPARE(On<QSpinBox>(h, TP, "m_pUDDTimeout2")->value(), 44);
                     }});
    return cases;
}

CfgImage& Img(UiHarness& h) { return *h.model->m_cfg.GetData(); }
bool Modified(UiHarness& h) { return h.model->m_cfg.IsModified(); }

// The image changed behind the panes, as a read from a device does it.
void Replace(UiHarness& h, const std::function<void(CfgImage&)>& change) {
    change(Img(h));
    h.app->UI().OnEvent(AE_CFG_REPLACED, 0);
}

}  // namespace

class TestCfgPanes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        Q_INIT_RESOURCE(app);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void everyPageRoundTripsThroughAFile_data() {
        QTest::addColumn<int>("index");
        const auto cases = Cases();
        for (size_t i = 0; i < cases.size(); ++i)
            QTest::newRow(qPrintable(QStringLiteral("node %1").arg(cases[i].node))) << int(i);
    }

    void everyPageRoundTripsThroughAFile() {
        QFETCH(int, index);
        const PaneCase pc = Cases()[size_t(index)];
        UiHarness h;
        const std::string file = h.dir.File("site.cfg");
        h.SelectNode(TFrmMain::TAB_CFG, pc.node);
        QVERIFY(!Modified(h));  // filling the page changed nothing
        h.paths = {QString::fromStdString(file)};
        h.Trigger("m_pActCfgSaveAs");
        const std::vector<unsigned char> before = ReadAll(file);
        QCOMPARE(before.size(), size_t(2070));

        for (const auto& [what, edit] : pc.edits) {
            QVERIFY2(!Modified(h), what);
            edit(h);
            QVERIFY2(Modified(h), what);
            QVERIFY2(h.Main()->windowTitle().endsWith(QStringLiteral("*)")), what);
            h.Trigger("m_pActCfgSave");  // commits the shown page without leaving it
        }
        QVERIFY(!Modified(h));
        QVERIFY(h.boxes.empty());

        const std::vector<unsigned char> after = ReadAll(file);
        QCOMPARE(after.size(), size_t(2070));
        std::vector<bool> covered(after.size(), false);
        for (const Field& f : pc.expected) {
            const QByteArray got(reinterpret_cast<const char*>(after.data()) + 8 + f.offset, f.bytes.size());
            QVERIFY2(got == f.bytes, qPrintable(QStringLiteral("offset %1: %2 instead of %3")
                                                    .arg(f.offset)
                                                    .arg(QString::fromLatin1(got.toHex(' ')))
                                                    .arg(QString::fromLatin1(f.bytes.toHex(' ')))));
            for (qsizetype i = 0; i < f.bytes.size(); ++i) covered[8 + f.offset + size_t(i)] = true;
        }
        for (size_t i = 0; i < after.size(); ++i)
            if (!covered[i]) QVERIFY2(after[i] == before[i], qPrintable(QStringLiteral("byte %1 moved").arg(i)));

        // A new configuration, then the file again: the page shows it all.
        h.Trigger("m_pActCfgNew");
        h.paths = {QString::fromStdString(file)};
        h.Trigger("m_pActCfgOpen");
        QVERIFY(!Modified(h));
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        h.SelectNode(TFrmMain::TAB_CFG, pc.node);
        QVERIFY(!Modified(h));
        pc.verify(h);
        QVERIFY(!Modified(h));
    }

    void allPagesThroughTheDevice_data() {
        QTest::addColumn<int>("layout");
        QTest::newRow("layout 1") << 1;
        QTest::newRow("layout 2") << 2;
    }

    void allPagesThroughTheDevice() {
        QFETCH(int, layout);
        SimOptions o;
        o.layout = layout;
        UiHarness h(o);
        for (const PaneCase& pc : Cases()) {
            h.SelectNode(TFrmMain::TAB_CFG, pc.node);
            for (const auto& edit : pc.edits) edit.second(h);
        }
        // Long texts everywhere the device layouts cut them; the last page
        // stays shown, so the write itself must commit it.
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARM1 + 2);
        On<QPlainTextEdit>(h, PANE_ALARM, "m_pTxtASMS")->setPlainText(Repeat("é", 100));
        h.SelectNode(TFrmMain::TAB_CFG, N_SMS);
        On<QPlainTextEdit>(h, PANE_SMSCFG, "m_pTxtCreditTxt")->setPlainText(Repeat("7", 99));
        Img(h).call.reserved1[3] = 0x5A;
        Img(h).call.reserved2[1] = 0xA5;
        h.TriggerAndWait("m_pActCfgWrite");
        QVERIFY(h.boxes.empty());
        CfgImage expected = Img(h);
        QCOMPARE(expected.low_credit_sms_text[98], '7');  // the shown page was committed

        if (layout == 2) {
            auto cut = [](char* field) { std::memset(field + 64, 0, 101 - 64); };
            cut(expected.reset_sms_text);
            cut(expected.low_credit_sms_text);
            for (AlarmRec& a : expected.alarms) cut(a.sms_text);
        } else {
            SetRenumDefaults(expected.renum);  // layout 1 has no tie line
        }
        h.answers = {IDNO};  // discard, then read
        h.Trigger("m_pActCfgNew");
        QVERIFY(!Modified(h));
        h.TriggerAndWait("m_pActCfgRead");
        QVERIFY(!Modified(h));
        const CfgImage& got = Img(h);
        for (size_t i = 0; i < sizeof got; ++i)
            QVERIFY2(reinterpret_cast<const uint8_t*>(&got)[i] == reinterpret_cast<const uint8_t*>(&expected)[i],
                     qPrintable(QStringLiteral("image byte %1").arg(i)));
        // The shown page shows what was read.
        QCOMPARE(On<QPlainTextEdit>(h, PANE_SMSCFG, "m_pTxtCreditTxt")->toPlainText(),
                 Repeat("7", layout == 2 ? 64 : 99));
    }

    void basicPagesKeepWhatTheyCannotShow() {
        UiHarness h;
        const int B1 = PANE_BASIC1, B2 = PANE_BASIC2;
        // Undefined values, from a file or a device, stay as they are.
        Replace(h, [](CfgImage& c) {
            c.call.tariff = 62;
            c.call.programming_char = 0;
            c.rs232_speed = 12;
            c.ring_indication = 6;
            c.call.max_digits = 30;
            c.audio_in_level = 200;
        });
        h.SelectNode(TFrmMain::TAB_CFG, N_BASIC1);
        for (const char* r : {"m_pRdbTariff1", "m_pRdbTariff2", "m_pRdbTariff3", "m_pRdbTariff4"})
            QVERIFY2(!On<QRadioButton>(h, B1, r)->isChecked(), r);
        QVERIFY(!On<QSpinBox>(h, B1, "m_pUDTariff4")->isEnabled());
        QVERIFY(On<QRadioButton>(h, B1, "m_pRdbSCode1")->isChecked());
        QCOMPARE(On<QSlider>(h, B1, "m_pTBrAIn")->value(), 128);
        h.SelectNode(TFrmMain::TAB_CFG, N_BASIC2);
        QCOMPARE(On<QComboBox>(h, B2, "m_pCmbBaudRate")->currentIndex(), -1);
        QVERIFY(On<QRadioButton>(h, B2, "m_pRdbFormat1")->isChecked());
        QVERIFY(On<QCheckBox>(h, B2, "m_pChbCall2")->isChecked() && On<QCheckBox>(h, B2, "m_pChbCall3")->isChecked());
        QVERIFY(!On<QCheckBox>(h, B2, "m_pChbCall1")->isChecked() && !On<QCheckBox>(h, B2, "m_pChbCLIP")->isChecked());
        h.SelectNode(TFrmMain::TAB_CFG, N_CALLPARS);
        QCOMPARE(On<QSpinBox>(h, PANE_CALLPARS, "m_pUDMaxNumLen")->value(), 24);
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        QCOMPARE(Img(h).call.tariff, uint8_t(62));
        QCOMPARE(Img(h).rs232_speed, uint8_t(12));
        QCOMPARE(Img(h).ring_indication, uint8_t(6));
        QCOMPARE(Img(h).call.max_digits, uint8_t(30));
        QCOMPARE(Img(h).audio_in_level, uint8_t(200));
        QVERIFY(!Modified(h));

        // Once the user moves the control, its value counts.
        h.SelectNode(TFrmMain::TAB_CFG, N_CALLPARS);
        On<QSpinBox>(h, PANE_CALLPARS, "m_pUDMaxNumLen")->setValue(23);
        On<QSpinBox>(h, PANE_CALLPARS, "m_pUDMaxNumLen")->setValue(24);
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        QCOMPARE(Img(h).call.max_digits, uint8_t(24));
        QVERIFY(Modified(h));

        // Polarity reversal shows the interval 1, disabled; the interval radio stores what is set.
        Replace(h, [](CfgImage& c) {
            c.call.tariff = 61;
            c.ring_indication = 0xE6;
        });
        h.SelectNode(TFrmMain::TAB_CFG, N_BASIC1);
        QVERIFY(On<QRadioButton>(h, B1, "m_pRdbTariff2")->isChecked());
        QCOMPARE(On<QSpinBox>(h, B1, "m_pUDTariff4")->text(), QStringLiteral("1"));
        QVERIFY(!On<QSpinBox>(h, B1, "m_pUDTariff4")->isEnabled());
        On<QRadioButton>(h, B1, "m_pRdbTariff4")->click();
        QVERIFY(On<QSpinBox>(h, B1, "m_pUDTariff4")->isEnabled());
        On<QSpinBox>(h, B1, "m_pUDTariff4")->setValue(30);
        h.SelectNode(TFrmMain::TAB_CFG, N_BASIC2);
        QCOMPARE(Img(h).call.tariff, uint8_t(30));
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        QCOMPARE(Img(h).ring_indication, uint8_t(6));  // rebuilt from the five controls

        // No tariff: the interval shown does not matter.
        Replace(h, [](CfgImage& c) { c.call.tariff = 0; });
        h.SelectNode(TFrmMain::TAB_CFG, N_BASIC1);
        On<QSpinBox>(h, B1, "m_pUDTariff4")->setValue(30);
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        QCOMPARE(Img(h).call.tariff, uint8_t(0));
    }

    void allowedDirectionsDialog() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_CFG, N_ENDIRS);
        auto* list = On<QTreeWidget>(h, PANE_CALLENDIRS, "m_pLsvEnDirs");
        auto* set = On<QPushButton>(h, PANE_CALLENDIRS, "m_pBtnSet");
        QCOMPARE(Row(list, 0), (QStringList{"ano", "ano", "1"}));
        QCOMPARE(Row(list, 9), (QStringList{"ano", "ano", "0"}));
        QCOMPARE(Row(list, 15), (QStringList{"ano", "ano", "-"}));
        QVERIFY(!set->isEnabled());
        QVERIFY(!On<QPushButton>(h, PANE_CALLENDIRS, "m_pBtnDel")->isEnabled());

        // Cancel writes nothing.
        list->setCurrentItem(list->topLevelItem(1));
        QVERIFY(set->isEnabled());
        const CfgImage before = Img(h);
        DriveModal<TFrmSetEnDir>([](TFrmSetEnDir* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Nastavení povoleného směru"));
            QCOMPARE(d->ui->m_pTxtEnDir->text(), QStringLiteral("2"));
            QVERIFY(d->ui->m_pRdbAllSIM->isChecked());
            d->ui->m_pTxtEnDir->setText(QStringLiteral("999"));
            d->ui->m_pBtnCancel->click();
        });
        set->click();
        QVERIFY(std::memcmp(&before, &Img(h), sizeof before) == 0);
        QVERIFY(!Modified(h));

        // An empty prefix frees the slot and keeps the SIM.
        SetEnDir(h, 1, QString(), "m_pRdbSIM2");
        QCOMPARE(Row(list, 1), (QStringList{"ne", "ano", "-"}));
        QCOMPARE(Img(h).call.directions[1][0], '\0');
        QCOMPARE(Img(h).call.direction_sim[1], uint8_t(2));
        QVERIFY(Modified(h));

        // A choice without a radio: "ne" twice, no radio in the dialog, Ok stores 0.
        Replace(h, [](CfgImage& c) { c.call.direction_sim[6] = 3; });
        QCOMPARE(Row(list, 6), (QStringList{"ne", "ne", "7"}));
        list->setCurrentItem(list->topLevelItem(6));
        DriveModal<TFrmSetEnDir>([](TFrmSetEnDir* d) {
            QVERIFY(!d->ui->m_pRdbSIM1->isChecked() && !d->ui->m_pRdbSIM2->isChecked() &&
                    !d->ui->m_pRdbAllSIM->isChecked());
            d->ui->m_pBtnOk->click();
        });
        set->click();
        QCOMPARE(Img(h).call.direction_sim[6], uint8_t(0));
        QCOMPARE(Row(list, 6), (QStringList{"ano", "ano", "7"}));
    }

    void renumberingDialog() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_CFG, N_RENUM);
        auto* list = On<QTreeWidget>(h, PANE_RENUM, "iLsvRenum");
        QVERIFY(On<QCheckBox>(h, PANE_RENUM, "iChbEnable")->isChecked());
        QCOMPARE(On<QSpinBox>(h, PANE_RENUM, "iUDPDDelay")->value(), 5);
        auto* width = On<QSpinBox>(h, PANE_RENUM, "iUDPDWidth");
        QCOMPARE(width->value(), 4);
        width->setValue(2);
        QCOMPARE(width->value(), 3);
        width->setValue(11);
        QCOMPARE(width->value(), 10);
        QCOMPARE(list->topLevelItemCount(), 5);
        for (int r = 0; r < 5; ++r) QCOMPARE(Row(list, r), (QStringList{"-", "-", "-"}));

        // Confirming with empty texts makes the entry used.
        SetRenum(h, 1, QString(), QString(), "iRdbInitDial");
        QCOMPARE(Row(list, 1), (QStringList{"", "", "náhradní volba"}));
        QCOMPARE(Img(h).renum.entries[1].mode, uint8_t(0));
        On<QPushButton>(h, PANE_RENUM, "iBtnDel")->click();
        QCOMPARE(Row(list, 1), (QStringList{"-", "-", "-"}));
        QCOMPARE(Img(h).renum.entries[1].mode, uint8_t(255));

        // A mode the device does not define shows its number and survives the dialog.
        Replace(h, [](CfgImage& c) {
            bytes::SetField(c.renum.entries[4].input_prefix, "55");
            c.renum.entries[4].mode = 7;
        });
        QCOMPARE(Row(list, 4), (QStringList{"55", "", "7"}));
        list->setCurrentItem(list->topLevelItem(4));
        DriveModal<TFrmRenumItem>([](TFrmRenumItem* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Nastavení přečíslování"));
            QVERIFY(!d->ui->iRdbInitDial->isChecked() && !d->ui->iRdbPostDial->isChecked());
            d->ui->iTxtRNum->setText(QStringLiteral("66"));
            d->ui->iBtnOk->click();
        });
        On<QPushButton>(h, PANE_RENUM, "iBtnSet")->click();
        QCOMPARE(Img(h).renum.entries[4].mode, uint8_t(7));
        QCOMPARE(Row(list, 4), (QStringList{"55", "66", "7"}));
    }

    void simCards() {
        UiHarness h;
        const int S = PANE_SIM;
        h.SelectNode(TFrmMain::TAB_CFG, N_SIM1);
        QVERIFY(On<QCheckBox>(h, S, "m_pChbActiveSIM")->isChecked());
        QVERIFY(On<QCheckBox>(h, S, "m_pChbDefaultSIM")->isChecked());
        QVERIFY(On<QRadioButton>(h, S, "m_pRdbTone2")->isChecked());  // K + D
        QCOMPARE(On<QLineEdit>(h, S, "m_pTxtPIN")->text(), QStringLiteral("8365"));
        QCOMPARE(On<QLineEdit>(h, S, "m_pTxtPIN")->accessibleName(), QStringLiteral("PIN:"));
        // Credit edits follow the mode.
        QVERIFY(On<QRadioButton>(h, S, "m_pRdbCMode1")->isChecked());
        QVERIFY(!On<QLineEdit>(h, S, "m_pTxtCCmd")->isEnabled() && !On<QLineEdit>(h, S, "m_pTxtLowVal")->isEnabled());
        On<QRadioButton>(h, S, "m_pRdbCMode2")->click();
        QVERIFY(!On<QLineEdit>(h, S, "m_pTxtCCmd")->isEnabled() && On<QLineEdit>(h, S, "m_pTxtLowVal")->isEnabled());
        On<QRadioButton>(h, S, "m_pRdbCMode3")->click();
        QVERIFY(On<QLineEdit>(h, S, "m_pTxtCCmd")->isEnabled() && On<QLineEdit>(h, S, "m_pTxtLowVal")->isEnabled());
        On<QLineEdit>(h, S, "m_pTxtPIN")->setText(QStringLiteral("1111"));

        // Card 2 commits card 1 first; both may be the default one.
        h.SelectNode(TFrmMain::TAB_CFG, N_SIM2);
        QCOMPARE(QByteArray(Img(h).sim_pin[0]), QByteArray("1111"));
        QCOMPARE(Img(h).credit[0].mode, uint8_t(2));
        QVERIFY(!On<QCheckBox>(h, S, "m_pChbActiveSIM")->isChecked());
        QVERIFY(!On<QCheckBox>(h, S, "m_pChbDefaultSIM")->isChecked());
        QVERIFY(On<QRadioButton>(h, S, "m_pRdbTone3")->isChecked());  // K + K + D
        QCOMPARE(On<QLineEdit>(h, S, "m_pTxtPIN")->text(), QStringLiteral("8365"));
        On<QCheckBox>(h, S, "m_pChbDefaultSIM")->click();
        h.SelectNode(TFrmMain::TAB_CFG, N_SIM1);
        QCOMPARE(Img(h).call.sim_flags[0], uint8_t(3));
        QCOMPARE(Img(h).call.sim_flags[1], uint8_t(2));

        // Values no radio stands for stay; flag bits 2 to 7 are dropped.
        Replace(h, [](CfgImage& c) {
            c.call.dial_tone[0] = 9;
            c.credit[0].mode = 5;
            c.call.sim_flags[0] = 0xFD;
        });
        for (const char* r : {"m_pRdbTone1", "m_pRdbTone2", "m_pRdbTone3", "m_pRdbTone4", "m_pRdbTone5", "m_pRdbCMode1",
                              "m_pRdbCMode2", "m_pRdbCMode3"})
            QVERIFY2(!On<QRadioButton>(h, S, r)->isChecked(), r);
        h.SelectNode(TFrmMain::TAB_CFG, N_SIM2);
        QCOMPARE(Img(h).call.dial_tone[0], uint8_t(9));
        QCOMPARE(Img(h).credit[0].mode, uint8_t(5));
        QCOMPARE(Img(h).call.sim_flags[0], uint8_t(1));
    }

    void minimumCreditInTheUsersLocale() {
        struct Restore {
            ~Restore() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
        } restore;
        QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
        UiHarness h;
        auto low = [&h] { return On<QLineEdit>(h, PANE_SIM, "m_pTxtLowVal"); };
        auto shown = [&](float v) {
            Replace(h, [v](CfgImage& c) { c.credit[0].min_value = v; });
            return low()->text();
        };
        auto stored = [&](const QString& text) {
            low()->setText(text);
            h.Trigger("m_pActCfgSave");
            float v = Img(h).credit[0].min_value;
            return v;
        };
        h.SelectNode(TFrmMain::TAB_CFG, N_SIM1);
        h.paths = {QString::fromStdString(h.dir.File("c.cfg"))};
        h.Trigger("m_pActCfgSaveAs");
        QCOMPARE(shown(12.5f), QStringLiteral("12,5"));
        QCOMPARE(shown(0.1f), QStringLiteral("0,1"));
        QCOMPARE(stored(QStringLiteral("12,5")), 12.5f);
        QCOMPARE(stored(QStringLiteral("7.25")), 7.25f);
        QCOMPARE(stored(QStringLiteral("abc")), 0.0f);
        QCOMPARE(stored(QStringLiteral("1e39")), 0.0f);
        // Every shown value reads back as the same float, even when it needs
        // more characters than can be typed.
        for (float v : {12.5f, 0.1f, 1234567.0f, -3.25f, 1.17549435e-38f, 3.4028235e38f, 99999.99f}) {
            const QString text = shown(v);
            h.SelectNode(TFrmMain::TAB_CFG, N_SIM2);
            h.SelectNode(TFrmMain::TAB_CFG, N_SIM1);
            QVERIFY2(Img(h).credit[0].min_value == v, qPrintable(text));
            QCOMPARE(low()->text(), text);
        }
        QCOMPARE(cfgui::ParseCredit(QStringLiteral(" 2,5 ")), 2.5f);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(cfgui::ParseCredit(QStringLiteral("2,5")), 2.5f);  // a comma is no group separator here
        QCOMPARE(cfgui::CreditText(1234567.0f), QStringLiteral("1234567"));
    }

    void alarmsAndSmsTexts() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARM1 + 1);
        auto* text = On<QPlainTextEdit>(h, PANE_ALARM, "m_pTxtASMS");
        QCOMPARE(text->toPlainText(), QStringLiteral("Alarm 2"));
        text->setPlainText(QStringLiteral("two"));
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARM1 + 2);  // commits alarm 2
        QCOMPARE(QByteArray(Img(h).alarms[1].sms_text), QByteArray("two"));
        QCOMPARE(On<QGroupBox>(h, PANE_ALARM, "m_pGrbMain")->title(), QStringLiteral("Alarm 3"));
        QCOMPARE(text->toPlainText(), QStringLiteral("Alarm 3"));

        // A line break takes two bytes; typing past 100 bytes is cut where it was typed.
        text->setPlainText(Repeat("a\n", 33));  // 99 bytes
        QTextCursor end = text->textCursor();
        end.movePosition(QTextCursor::End);
        text->setTextCursor(end);
        QTest::keyClicks(text, QStringLiteral("cde"));
        QCOMPARE(text->toPlainText(), Repeat("a\n", 33) + QStringLiteral("c"));
        QTextCursor start = text->textCursor();
        start.movePosition(QTextCursor::Start);
        text->setTextCursor(start);
        QTest::keyClicks(text, QStringLiteral("x"));
        QCOMPARE(text->toPlainText(), Repeat("a\n", 33) + QStringLiteral("c"));
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        QCOMPARE(int(qstrlen(Img(h).alarms[2].sms_text)), 100);

        h.SelectNode(TFrmMain::TAB_CFG, N_SMS);
        auto* forward = On<QLineEdit>(h, PANE_SMSCFG, "m_pTxtForwardNum");
        QVERIFY(On<QRadioButton>(h, PANE_SMSCFG, "m_pRdbMode1")->isChecked());
        QVERIFY(!forward->isEnabled());
        QCOMPARE(forward->accessibleName(), QStringLiteral("přeposlat na číslo:"));
        On<QRadioButton>(h, PANE_SMSCFG, "m_pRdbMode3")->click();
        QVERIFY(forward->isEnabled());
        On<QRadioButton>(h, PANE_SMSCFG, "m_pRdbMode2")->click();
        QVERIFY(!forward->isEnabled());
        // Windows line breaks in a file come back as they were.
        Replace(h, [](CfgImage& c) { bytes::SetField(c.reset_sms_text, "a\r\nb"); });
        QCOMPARE(On<QPlainTextEdit>(h, PANE_SMSCFG, "m_pTxtResetTxt")->toPlainText(), QStringLiteral("a\nb"));
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        QCOMPARE(QByteArray(Img(h).reset_sms_text), QByteArray("a\r\nb"));
    }

    // A page the user only looks at must store back no other bytes than it
    // loaded, whatever its controls make of them (line breaks, 0xA0, a
    // field without a terminator).
    void lookingAtEveryPageChangesNoByte() {
        UiHarness h;
        auto fill = [](char* field, size_t size) {
            static const char pattern[] =
                "ab\rc\nd\r\ne\xA0"
                "f";
            for (size_t i = 0; i < size; ++i) field[i] = pattern[i % (sizeof pattern - 1)];
        };
        Replace(h, [&](CfgImage& c) {
            for (AlarmRec& a : c.alarms) {
                fill(a.call_number, sizeof a.call_number);
                fill(a.sms1_number, sizeof a.sms1_number);
                fill(a.sms2_number, sizeof a.sms2_number);
                fill(a.sms_text, sizeof a.sms_text);
            }
            fill(c.call.direction_completion, sizeof c.call.direction_completion);
            fill(c.call.denied_code, sizeof c.call.denied_code);
            for (int s = 0; s < 2; ++s) {
                fill(c.sim_pin[s], sizeof c.sim_pin[s]);
                fill(c.monthly_call[s].number, sizeof c.monthly_call[s].number);
                fill(c.credit[s].code, sizeof c.credit[s].code);
            }
            fill(c.sms_forward_number, sizeof c.sms_forward_number);
            fill(c.info_sms_number, sizeof c.info_sms_number);
            fill(c.reset_sms_text, sizeof c.reset_sms_text);
            bytes::SetField(c.low_credit_sms_text, "x\ny\rz\r\n\xA0");
        });
        const CfgImage before = Img(h);
        for (int node = 0; node < 40; ++node) {
            if (!h.Main()->Node(TFrmMain::TAB_CFG, node)) continue;
            h.SelectNode(TFrmMain::TAB_CFG, node);
        }
        h.SelectNode(TFrmMain::TAB_CFG, N_ALARMS);
        const CfgImage& after = Img(h);
        for (size_t i = 0; i < sizeof after; ++i)
            QVERIFY2(reinterpret_cast<const uint8_t*>(&after)[i] == reinterpret_cast<const uint8_t*>(&before)[i],
                     qPrintable(QStringLiteral("image byte %1").arg(i)));
        QVERIFY(!Modified(h));
    }

    void configurationCommands() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_CFG, N_CALLPARS);
        auto* add = On<QLineEdit>(h, PANE_CALLPARS, "m_pTxtAddDir");
        add->setText(QStringLiteral("77"));
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (bezejmenná*)"));

        // Cancel, and Yes with a cancelled save dialog, keep the edit on screen; No discards it.
        h.answers = {IDCANCEL};
        h.Trigger("m_pActCfgNew");
        QCOMPARE(add->text(), QStringLiteral("77"));
        h.answers = {IDYES};
        h.Trigger("m_pActCfgNew");
        QCOMPARE(h.boxes.size(), size_t(2));
        QCOMPARE(add->text(), QStringLiteral("77"));
        QVERIFY(Modified(h));
        h.answers = {IDNO};
        h.Trigger("m_pActCfgNew");
        QCOMPARE(h.boxes.size(), size_t(3));
        QCOMPARE(add->text(), QString());
        QVERIFY(!Modified(h));

        // Save on an untitled document asks for a name; cancelling keeps the title.
        add->setText(QStringLiteral("88"));
        h.Trigger("m_pActCfgSave");
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (bezejmenná*)"));
        const std::string file = h.dir.File("a.cfg");
        h.paths = {QString::fromStdString(file)};
        h.Trigger("m_pActCfgSave");
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (a.cfg)"));
        QCOMPARE(ReadAll(file)[8 + 1617], uint8_t('8'));

        // A broken file: message 101, and the page and the document stay.
        add->setText(QStringLiteral("99"));
        std::vector<unsigned char> broken = ReadAll(file);
        broken[0] = 2;
        WriteAll(h.dir.File("bad.cfg"), broken);
        h.answers = {IDNO};
        h.paths = {QString::fromStdString(h.dir.File("bad.cfg"))};
        h.Trigger("m_pActCfgOpen");
        QCOMPARE(h.boxes.back().text, QStringLiteral("Došlo k chybě při načítání konfigurace ze souboru."));
        QCOMPARE(add->text(), QStringLiteral("99"));
        QCOMPARE(h.model->m_cfg.GetFileName(), file);

        // No to the question discards: the file's value comes back.
        h.answers = {IDNO};
        h.paths = {QString::fromStdString(file)};
        h.Trigger("m_pActCfgOpen");
        QCOMPARE(add->text(), QStringLiteral("88"));
        QVERIFY(!Modified(h));
    }
};

QTEST_MAIN(TestCfgPanes)
#include "test_cfgpanes.moc"
