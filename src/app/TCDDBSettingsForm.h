#pragma once
// TCDDBSettingsForm: the "CDDB Settings" dialog of the "Setup" menu. It edits the CDDB settings
// the CD reader hands to the lookup: the server, its query script and port, the e-mail the
// servers want, and the optional proxy with its port and credentials.
//
// The fields take the values in memory each time the dialog shows. "OK" copies them back only
// when the e-mail passes the check; "Reset" puts the defaults into memory at once (a later
// "Cancel" keeps them); "Cancel" copies nothing. The settings file is written by the core at the
// end of the run, not here.
//
// Threading: main thread only.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class UiPort;
struct CCDDBPrefs;

class TCDDBSettingsForm : public QDialog {
    Q_OBJECT
public:
    // settings: the settings in memory, edited in place; ui: the notice of a bad e-mail.
    TCDDBSettingsForm(CCDDBPrefs& settings, UiPort& ui, QWidget* parent = nullptr);

    QLineEdit* ServerEdit;      // "Freedb Server"
    QLineEdit* ScriptEdit;      // "Query Script"
    QLineEdit* EmailEdit;       // "User Email"
    QLineEdit* PortEdit;        // "Port" of the server
    QCheckBox* UseProxyBox;     // "Use Proxy"
    QLineEdit* ProxyServerEdit; // "Proxy Server"
    QLineEdit* ProxyPortEdit;   // "Port" of the proxy
    QLineEdit* ProxyUserEdit;   // "Proxy User"
    QLineEdit* ProxyPassEdit;   // "Pass"
    QPushButton* OkButton;
    QPushButton* ResetButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void ShowSettings();
    void EnableProxyFields();
    void OkClick();
    void ResetClick();

    CCDDBPrefs& m_settings;
    UiPort& m_ui;
};
