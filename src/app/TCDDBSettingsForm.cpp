#include "app/TCDDBSettingsForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "cdimport/CCDDBPrefs.h"
#include "common/UiPort.h"

namespace {
// The settings keep each text in 128 bytes with its terminator.
constexpr int kTextRoom = 127;

QLineEdit* TextField(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(kTextRoom);
    return e;
}

QLineEdit* PortField(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    // Ports are decimal; a text the server could not take is refused at the key.
    e->setValidator(new QIntValidator(0, 65535, e));
    e->setMaxLength(5);
    e->setFixedWidth(64);
    return e;
}

// A port as typed: decimal, an empty field meaning 0.
int32_t PortOf(const QLineEdit* e) {
    bool ok = false;
    const int v = e->text().trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }
} // namespace

TCDDBSettingsForm::TCDDBSettingsForm(CCDDBPrefs& settings, UiPort& ui, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_ui(ui) {
    setObjectName("CDDBSettingsForm");
    setWindowTitle("CDDB Settings");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    ServerEdit = TextField(this, "CDDBServer");
    ScriptEdit = TextField(this, "CDDBScript");
    EmailEdit = TextField(this, "CDDBEmail");
    PortEdit = PortField(this, "CDDBPort");
    UseProxyBox = new QCheckBox("Use Proxy", this);
    UseProxyBox->setObjectName("CDDBUseProxy");
    ProxyServerEdit = TextField(this, "CDDBProxyServer");
    ProxyPortEdit = PortField(this, "CDDBProxyPort");
    ProxyUserEdit = TextField(this, "CDDBProxyUser");
    ProxyPassEdit = TextField(this, "CDDBProxyPass");
    ProxyPassEdit->setEchoMode(QLineEdit::Password);
    // The password shows as stars whatever the style's own mask character is.
    ProxyPassEdit->setStyleSheet("lineedit-password-character: 42");
    OkButton = new QPushButton("OK", this);
    ResetButton = new QPushButton("Reset", this);
    CancelButton = new QPushButton("Cancel", this);
    OkButton->setDefault(true);
    ResetButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel("Freedb Server", this), row, 0);
    grid->addWidget(ServerEdit, row, 1);
    grid->addWidget(new QLabel("Port", this), row, 2);
    grid->addWidget(PortEdit, row++, 3);
    grid->addWidget(new QLabel("Query Script", this), row, 0);
    grid->addWidget(ScriptEdit, row++, 1, 1, 3);
    grid->addWidget(new QLabel("User Email", this), row, 0);
    grid->addWidget(EmailEdit, row++, 1, 1, 3);
    grid->addWidget(UseProxyBox, row++, 0, 1, 4);
    grid->addWidget(new QLabel("Proxy Server", this), row, 0);
    grid->addWidget(ProxyServerEdit, row, 1);
    grid->addWidget(new QLabel("Port", this), row, 2);
    grid->addWidget(ProxyPortEdit, row++, 3);
    grid->addWidget(new QLabel("Proxy User", this), row, 0);
    grid->addWidget(ProxyUserEdit, row++, 1, 1, 3);
    grid->addWidget(new QLabel("Pass", this), row, 0);
    grid->addWidget(ProxyPassEdit, row++, 1, 1, 3);
    ServerEdit->setMinimumWidth(240);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ResetButton);
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    connect(UseProxyBox, &QCheckBox::toggled, this, [this] { EnableProxyFields(); });
    connect(OkButton, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(ResetButton, &QPushButton::clicked, this, [this] { ResetClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ShowSettings();
}

void TCDDBSettingsForm::showEvent(QShowEvent* e) {
    // Each showing starts from what is in memory, not from what was typed and cancelled.
    ShowSettings();
    QDialog::showEvent(e);
}

void TCDDBSettingsForm::ShowSettings() {
    const CCDDBPrefs& s = m_settings;
    ServerEdit->setText(QString::fromStdString(s.server));
    ScriptEdit->setText(QString::fromStdString(s.queryScript));
    EmailEdit->setText(QString::fromStdString(s.email));
    PortEdit->setText(QString::number(s.port));
    ProxyServerEdit->setText(QString::fromStdString(s.proxyServer));
    ProxyPortEdit->setText(QString::number(s.proxyPort));
    ProxyUserEdit->setText(QString::fromStdString(s.proxyUser));
    ProxyPassEdit->setText(QString::fromStdString(s.proxyPassword));
    UseProxyBox->setChecked(s.useProxy);
    EnableProxyFields();
}

void TCDDBSettingsForm::EnableProxyFields() {
    const bool on = UseProxyBox->isChecked();
    for (QLineEdit* e : {ProxyServerEdit, ProxyPortEdit, ProxyUserEdit, ProxyPassEdit}) e->setEnabled(on);
}

void TCDDBSettingsForm::OkClick() {
    if (!IsValidCDDBEmail(Text(EmailEdit))) {
        m_ui.Notice("Please type a valid email address");
        return;
    }
    CCDDBPrefs& s = m_settings;
    s.server = Text(ServerEdit);
    s.queryScript = Text(ScriptEdit);
    s.email = Text(EmailEdit);
    s.port = PortOf(PortEdit);
    s.proxyServer = Text(ProxyServerEdit);
    s.proxyPort = PortOf(ProxyPortEdit);
    s.proxyUser = Text(ProxyUserEdit);
    s.proxyPassword = Text(ProxyPassEdit);
    s.useProxy = UseProxyBox->isChecked();
    accept();
}

void TCDDBSettingsForm::ResetClick() {
    m_settings.Reset();
    ShowSettings();
}
