// The "CDDB Settings" dialog through "Setup" -> "CDDB Settings..." of the real window: its fields
// and defaults, the proxy fields following "Use Proxy", the e-mail check that keeps the dialog
// open, "Reset" taking effect at once (a later "Cancel" keeps the defaults), "Cancel" copying
// nothing, and the settings kept in "CDDBPrefs.dat" across a restart of the program.
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/CDImportSection.h"
#include "app/CommandTable.h"
#include "app/TCDDBSettingsForm.h"
#include "app/TForm1.h"
#include "cdimport/CCDDBPrefs.h"
#include "core/CCore.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

namespace {
void Type(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}
void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
// A check box spans its row: a click on its box, not on the empty room to the right.
void Click(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }
} // namespace

class CDDBSettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;

    void Start() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    CCDDBPrefs& Prefs() { return m_form->Core().CDDBPrefs(); }
    // Opens the dialog from its menu item and runs step on it while it is shown.
    void WithDialog(const std::function<void(TCDDBSettingsForm&)>& step) {
        bool ran = false;
        OnShow driver({[&](QDialog* d) {
            auto* form = qobject_cast<TCDDBSettingsForm*>(d);
            if (form) step(*form);
            ran = true;
            if (d->isVisible()) d->reject(); // a step that failed half-way leaves no modal loop
        }});
        QVERIFY(m_form->Commands().Dispatch("setup.cddbSettings"));
        QVERIFY(ran);
    }

private slots:
    void initTestCase() { Start(); }

    void theMenuItemOpensTheDialogWithItsFieldsAndDefaults() {
        QAction* item = m_form->Commands().Action("setup.cddbSettings");
        QVERIFY(item && item->isVisible());
        QCOMPARE(item->text(), QString("CDDB Settings..."));
        WithDialog([](TCDDBSettingsForm& f) {
            QCOMPARE(f.windowTitle(), QString("CDDB Settings"));
            QCOMPARE(f.ServerEdit->text(), QString(CCDDBPrefs::kDefaultServer));
            QCOMPARE(f.ScriptEdit->text(), QString("/~cddb/cddb.cgi"));
            QCOMPARE(f.EmailEdit->text(), QString(CCDDBPrefs::kDefaultEmail));
            QCOMPARE(f.PortEdit->text(), QString("80"));
            QCOMPARE(f.ProxyPortEdit->text(), QString("0"));
            QCOMPARE(f.UseProxyBox->text(), QString("Use Proxy"));
            QVERIFY(!f.UseProxyBox->isChecked());
            for (QLineEdit* e : {f.ProxyServerEdit, f.ProxyPortEdit, f.ProxyUserEdit, f.ProxyPassEdit})
                QVERIFY(!e->isEnabled());
            QCOMPARE(f.OkButton->text(), QString("OK"));
            QCOMPARE(f.ResetButton->text(), QString("Reset"));
            QCOMPARE(f.CancelButton->text(), QString("Cancel"));
            // The labels, two of them "Port".
            QStringList labels;
            for (QLabel* l : f.findChildren<QLabel*>()) labels << l->text();
            for (const char* t : {"Freedb Server", "Query Script", "User Email", "Proxy Server", "Proxy User", "Pass"})
                QVERIFY2(labels.contains(t), t);
            QCOMPARE(labels.count("Port"), 2);
            // "Use Proxy" enables the four proxy fields; the password shows stars.
            Click(f.UseProxyBox);
            for (QLineEdit* e : {f.ProxyServerEdit, f.ProxyPortEdit, f.ProxyUserEdit, f.ProxyPassEdit})
                QVERIFY(e->isEnabled());
            Type(f.ProxyPassEdit, "abc");
            QCOMPARE(f.ProxyPassEdit->displayText(), QString("***"));
            Click(f.CancelButton);
        });
        // "Cancel" copied nothing.
        QVERIFY(!Prefs().useProxy);
        QVERIFY(Prefs().proxyPassword.empty());
    }

    void okRefusesABadEmailAndCopiesEveryField() {
        const size_t shown = m_ui.messages.size();
        bool stayedOpen = true;
        WithDialog([&](TCDDBSettingsForm& f) {
            Type(f.ServerEdit, "127.0.0.1");
            Type(f.PortEdit, "8880");
            Type(f.ScriptEdit, "/cgi/cddb");
            // One "@" and no "." after it; two "@"; empty: each refused, the dialog stays.
            for (const char* bad : {"me@host", "me@a.b@c.d", ""}) {
                Type(f.EmailEdit, bad);
                Click(f.OkButton);
                stayedOpen = stayedOpen && f.isVisible();
            }
            Type(f.EmailEdit, "me@host.org");
            Click(f.UseProxyBox);
            Type(f.ProxyServerEdit, "proxy.lan");
            Type(f.ProxyPortEdit, "3128x");
            Type(f.ProxyUserEdit, "user");
            Type(f.ProxyPassEdit, "secret");
            Click(f.OkButton);
            QVERIFY(!f.isVisible());
        });
        QVERIFY(stayedOpen);
        QCOMPARE(m_ui.messages.size(), shown + 3);
        for (size_t i = shown; i < m_ui.messages.size(); ++i) {
            QCOMPARE(QString::fromStdString(m_ui.messages[i].text), QString("Please type a valid email address"));
            QCOMPARE(m_ui.messages[i].kind, std::string("notice"));
            QVERIFY(m_ui.messages[i].caption.empty());
        }
        const CCDDBPrefs& p = Prefs();
        QCOMPARE(p.server, std::string("127.0.0.1"));
        QCOMPARE(p.port, 8880);
        QCOMPARE(p.queryScript, std::string("/cgi/cddb"));
        QCOMPARE(p.email, std::string("me@host.org"));
        QVERIFY(p.useProxy);
        QCOMPARE(p.proxyServer, std::string("proxy.lan"));
        QCOMPARE(p.proxyPort, 3128); // the field takes digits only
        QCOMPARE(p.proxyUser, std::string("user"));
        QCOMPARE(p.proxyPassword, std::string("secret"));
    }

    void theFieldsShowWhatIsInMemoryEachTime() {
        // Typed and cancelled: the next showing has the values in memory again.
        WithDialog([](TCDDBSettingsForm& f) {
            Type(f.ServerEdit, "typed.but.cancelled");
            Click(f.CancelButton);
        });
        WithDialog([](TCDDBSettingsForm& f) {
            QCOMPARE(f.ServerEdit->text(), QString("127.0.0.1"));
            QVERIFY(f.UseProxyBox->isChecked());
            QVERIFY(f.ProxyServerEdit->isEnabled());
            QCOMPARE(f.ProxyPassEdit->text(), QString("secret"));
            Click(f.CancelButton);
        });
        QCOMPARE(Prefs().server, std::string("127.0.0.1"));
    }

    void theSettingsSurviveARestart() {
        m_form.reset();
        QFile file(m_dir.path() + "/CDDBPrefs.dat");
        QVERIFY(file.exists());
        QCOMPARE(file.size(), qint64(781));
        Start();
        QCOMPARE(Prefs().server, std::string("127.0.0.1"));
        QCOMPARE(Prefs().proxyPassword, std::string("secret"));
        WithDialog([](TCDDBSettingsForm& f) {
            QCOMPARE(f.PortEdit->text(), QString("8880"));
            QCOMPARE(f.ProxyPortEdit->text(), QString("3128"));
            QCOMPARE(f.ProxyUserEdit->text(), QString("user"));
            QVERIFY(f.UseProxyBox->isChecked());
            Click(f.CancelButton);
        });
    }

    void resetTakesEffectAtOnceAndCancelKeepsIt() {
        WithDialog([](TCDDBSettingsForm& f) {
            Click(f.ResetButton);
            QVERIFY(f.isVisible());
            QCOMPARE(f.ServerEdit->text(), QString(CCDDBPrefs::kDefaultServer));
            QCOMPARE(f.PortEdit->text(), QString("80"));
            QVERIFY(!f.UseProxyBox->isChecked());
            QVERIFY(!f.ProxyServerEdit->isEnabled());
            QVERIFY(f.ProxyPassEdit->text().isEmpty());
            Click(f.CancelButton);
        });
        const CCDDBPrefs& p = Prefs();
        QCOMPARE(p.server, std::string(CCDDBPrefs::kDefaultServer));
        QCOMPARE(p.email, std::string(CCDDBPrefs::kDefaultEmail));
        QCOMPARE(p.port, 80);
        QVERIFY(!p.useProxy);
        QVERIFY(p.proxyUser.empty() && p.proxyPassword.empty());
        // And the defaults are what the next run starts with.
        m_form.reset();
        Start();
        QCOMPARE(Prefs().server, std::string(CCDDBPrefs::kDefaultServer));
        QVERIFY(Prefs().proxyPassword.empty());
    }

    void cleanupTestCase() { m_form.reset(); }
};

QTEST_MAIN(CDDBSettingsTest)
#include "CDDBSettingsTest.moc"
