#include "app/credentialdialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quorvel
{

CredentialDialog::CredentialDialog(const std::string &host, bool proxy, const std::string &user,
                                   QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CredentialDialog"));
    setWindowTitle(tr("Enter Network Password"));

    auto *prompt = new QLabel(this);
    prompt->setObjectName(QStringLiteral("Prompt"));
    const QString where = QString::fromStdString(host);
    prompt->setText(proxy ? tr("The proxy server %1 requires a user name and password.").arg(where)
                          : tr("The server %1 requires a user name and password.").arg(where));
    prompt->setWordWrap(true);

    m_user = new QLineEdit(QString::fromStdString(user), this);
    m_user->setObjectName(QStringLiteral("UserName"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setEchoMode(QLineEdit::Password);

    auto *fields = new QFormLayout;
    fields->addRow(tr("&User name:"), m_user);
    fields->addRow(tr("&Password:"), m_password);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

std::string CredentialDialog::userName() const
{
    return m_user->text().toStdString();
}

std::string CredentialDialog::password() const
{
    return m_password->text().toStdString();
}

bool CredentialDialog::ask(const std::string &host, bool proxy, std::string &user,
                           std::string &password)
{
    CredentialDialog dialog(host, proxy, user, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    user = dialog.userName();
    password = dialog.password();
    return true;
}

} // namespace quorvel
