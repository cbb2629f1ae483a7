#pragma once
// The small dialog that asks for a user name and password when a server or proxy requires them.

#include <string>

#include <QDialog>

class QLineEdit;

namespace quorvel
{

class CredentialDialog : public QDialog
{
    Q_OBJECT

public:
    CredentialDialog(const std::string &host, bool proxy, const std::string &user,
                     QWidget *parent = nullptr);

    std::string userName() const;
    std::string password() const;

    // Shows the dialog modally; true with user and password filled when the user accepts.
    static bool ask(const std::string &host, bool proxy, std::string &user, std::string &password);

private:
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
};

} // namespace quorvel
