// Renders the main window with its pages, offscreen. With
// VANTRIX_SCREENSHOT_DIR set, the pictures are written there (the README's
// pictures in docs/ come from this).
#include <QDir>
#include <QPixmap>

#include "tests/ui/UiHarness.h"

class TestScreenshots : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(app); }

    void pages() {
        UiHarness h;
        h.Main()->resize(900, 600);
        h.TriggerAndWait("m_pActReadStatus");
        const QString dir = qEnvironmentVariable("VANTRIX_SCREENSHOT_DIR");
        const struct {
            int tab, node;
            const char* file;
        } shots[] = {
            {TFrmMain::TAB_STATE, 1, "state-gsm.png"},
            {TFrmMain::TAB_CFG, 5, "config-sim.png"},
            {TFrmMain::TAB_CFG, 1, "config-directions.png"},
            {TFrmMain::TAB_TOOLS, 1, "sms-new.png"},
            {TFrmMain::TAB_TOOLS, 6, "gprs.png"},
        };
        for (const auto& s : shots) {
            h.SelectNode(s.tab, s.node);
            QApplication::processEvents();
            QPixmap picture = h.Main()->grab();
            QVERIFY(!picture.isNull());
            QCOMPARE(picture.width(), h.Main()->width());
            if (!dir.isEmpty()) QVERIFY(picture.save(QDir(dir).filePath(QString::fromLatin1(s.file))));
        }
    }
};

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
