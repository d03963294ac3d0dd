#pragma once
// The connection and sending settings kept in config.ini (section
// "Newsletter") in the data folder: who the newsletter comes from, the SMTP
// and POP3 servers (directly or through a proxy), the subscription mailbox's
// login, and the packets a sending run is cut into.
//
//     Settings s;
//     loadSettings(s);                       // a missing file leaves s as it was
//     if (!s.isAvailable()) ...              // never saved from the window: no sending
//     const SmtpEndpoint smtp = smtpEndpoint(s);
//
//     s.senderAddress = "news@example.org";
//     if (const auto refusal = checkSettings(s)) ...   // the window's message
//     s.available = "true";
//     QString error;
//     if (!saveSettings(s, settingsPath(), &error)) ...  // report it
//
// The keys after those sixteen are the connection's security and login, the
// addresses the unsubscription headers name, DKIM signing and the text
// alternative of HTML messages. A file without them reads them as empty, and
// empty means what a file without them always did: plain connections on
// ports 25 and 110, no login to the SMTP server, no unsubscription headers,
// no signature, HTML without a text alternative. An empty one that the file
// does not hold is not written either.
//
// Every text is kept as the file holds it (a hand-edited "TRUE" stays "TRUE");
// only the exact word "true" switches the proxy or the packets on. The file is
// written whole to a temporary file of mode 0600 (it holds a password) that
// then replaces config.ini, so a failed write never leaves half a file; keys
// of the file besides ours stay as they are.

#include "mail/protocolclient.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kirvane::mail {
class Pop3Client;
class SmtpClient;
}

namespace kirvane::settings {

struct Settings {
    QString senderName;    // expediteur
    QString senderAddress; // boite
    QString redirection;   // redirection
    QString popServer;     // ServeurPop
    QString smtpServer;    // ServeurSmtp
    QString login;         // login
    QString password;      // password
    QString useProxy;      // utiliserProxy: "true" / "false"
    QString smtpProxy;     // ProxySmtp
    QString popProxy;      // ProxyPop
    QString popProxyPort;  // PortPop
    QString smtpProxyPort; // PortSmtp
    QString available;     // "true" once saved from the window
    QString packets;       // paquet: "true" / "false"
    int packetSize = 0;    // taille_paquet, messages
    int packetPause = 0;   // tempo_paquet, minutes

    // Written after the keys above, and only when set or already in the file.
    QString smtpSecurity;        // SmtpSecurity: "none", "starttls", "tls"; "" as none
    QString smtpServerPort;      // SmtpServerPort: "" for the security's port (25, 587, 465)
    QString smtpLogin;           // SmtpLogin: "" for no authentication
    QString smtpPassword;        // SmtpPassword
    QString popSecurity;         // PopSecurity: "none", "stls", "tls"; "" as none
    QString popServerPort;       // PopServerPort: "" for the security's port (110, 995)
    QString caFile;              // CaFile: certificates trusted besides the system's
    QString subscriptionAddress; // SubscriptionAddress: the mailbox the synchronisation reads
    QString unsubscribeUrl;      // UnsubscribeUrl: an https: address, placeholders allowed
    QString dkimSelector;        // DkimSelector
    QString dkimDomain;          // DkimDomain
    QString dkimKeyFile;         // DkimKeyFile: the private key, PEM
    QString textAlternative;     // TextAlternative: "true" / "false"; "" as false

    bool operator==(const Settings &) const = default;

    [[nodiscard]] bool proxyOn() const { return useProxy == QLatin1String("true"); }
    [[nodiscard]] bool packetsOn() const { return packets == QLatin1String("true"); }
    [[nodiscard]] bool isAvailable() const { return available == QLatin1String("true"); }
    [[nodiscard]] bool textAlternativeOn() const { return textAlternative == QLatin1String("true"); }
    // DKIM signing is asked for: a key file is named (the check of the save
    // wants the selector and domain with it).
    [[nodiscard]] bool dkimOn() const { return !dkimKeyFile.isEmpty(); }

    // The value of a config.ini key (any letter case), the numbers as
    // decimal text; nullopt for a key that is not one of ours.
    [[nodiscard]] std::optional<QString> value(const QString &key) const;
    // Sets a key from its text; false for a key that is not ours or a number
    // that does not read as one. Does not check ranges (see checkValue).
    bool setValue(const QString &key, const QString &text);
};

// The text-table entries of the refusals only the settings give.
enum SettingsText : int {
    SettingsFileUnreadable = 281,  // "cannot read %1: %2" (the file, the reason)
    SettingControlCharacter = 282, // the key
    SettingPortOutOfRange = 283,   // the key
};

inline constexpr int kDefaultPacketSize = 80;
inline constexpr int kDefaultPacketPause = 10;
inline constexpr int kMaxPacketSize = 100000;
inline constexpr int kMaxPacketPause = 1000;

// The keys in the order they are written.
[[nodiscard]] const QStringList &settingsKeys();

// The connection's security as the file spells it; "" reads as "none", and
// for POP3 "starttls" as "stls".
inline constexpr QLatin1StringView kSecurityNone{"none"};
inline constexpr QLatin1StringView kSecurityStartTls{"starttls"};
inline constexpr QLatin1StringView kSecurityStls{"stls"};
inline constexpr QLatin1StringView kSecurityTls{"tls"};

// config.ini in the data folder (found without regard to letter case).
[[nodiscard]] QString settingsPath();

// Reads path into s when the file exists; s stays as it was otherwise, and a
// key that is missing reads as "" (the numbers as 80 and 10, as does a
// number that does not read as one). False when there was no file to read;
// when the file is there but cannot be read (no permission, not a regular
// file, too large) *error also says so: "cannot read config.ini: reason".
bool loadSettings(Settings &s, const QString &path = settingsPath(), QString *error = nullptr);

// Writes every key of s into path, keeping the file's other keys and lines.
// False with the system's reason in *error when the file cannot be written;
// the file is then as it was.
[[nodiscard]] bool saveSettings(const Settings &s, const QString &path, QString *error = nullptr);

// The check of the window's save: the text-table entry of the message that
// refuses s (the sender's address holds no "@", or gives the server no
// address with one in MAIL FROM; the sender's name is empty), or nullopt
// when s may be saved.
[[nodiscard]] std::optional<int> checkSettings(const Settings &s);

// The mailto: address a message to the reader at address names in its
// List-Unsubscribe header: to the subscription mailbox, with the subject
// "DESABONNE address" that the synchronisation reads as that reader's
// unsubscription. Empty when the settings name no subscription address or
// address is blank.
[[nodiscard]] QString unsubscribeMailto(const Settings &s, const QString &address);

// s as the settings window saves it: the two switches as "true" or "false"
// (the proxy box is ticked by "true" in any letter case, the packet box only
// by "true" itself), the numbers within the window's fields' bounds, and
// available "true".
[[nodiscard]] Settings savedForm(Settings s);

// The check of a value typed for key outside the window (whose fields allow
// nothing else): "true"/"false" for the switches, 1..65535 for a port (or
// empty), 1..100000 messages and 1..1000 minutes, a security the connection
// knows. An English reason, or "" when the value is fit.
[[nodiscard]] QString checkValue(const QString &key, const QString &text);

// The check of the keys after the sixteen, made by the window's save and by
// kirvane-cli after checkSettings: the reason in the active language that
// refuses s, or "" when s may be saved. A subscription address needs an "@";
// an unsubscribe web address is an https: address without blanks; either
// must fit on a folded List-Unsubscribe line; DKIM needs
// the selector, the domain and a key file that holds an RSA or Ed25519
// private key, or none of them; a CA file must be readable. Every key checks
// first that a value going into a header (the sender, the redirection, the
// unsubscription and DKIM keys) holds no control character and that a port,
// the proxy ports included, is empty or 1 to 65535.
// *key names the key refused when the reason is about one of the first
// sixteen keys (a port, a control character), and is emptied otherwise.
[[nodiscard]] QString checkMailSettings(const Settings &s, QString *key = nullptr);

// Where the SMTP client connects and how: the server on SmtpServerPort, or
// on the security's port (25, 587 for STARTTLS, 465 for TLS) when none is
// set; the proxy on its port when the proxy is on. The login, when set, may
// go over an unencrypted connection only when the file says "none" itself: a
// file without the key never sends a password in clear.
struct SmtpEndpoint {
    QString host;
    QString port;
    mail::Security security = mail::Security::None;
    QString user;     // empty: no AUTH
    QString password;
    QString caFile;   // trusted besides the system's certificates
    bool plainTextLoginChosen = false;
    bool operator==(const SmtpEndpoint &) const = default;
};
[[nodiscard]] SmtpEndpoint smtpEndpoint(const Settings &s);
// Gives client the endpoint's server, port, security, login and CA file.
void applyEndpoint(const SmtpEndpoint &e, mail::SmtpClient &client);

// Where the POP3 client logs in: the server on PopServerPort, or on the
// security's port (110, 995 for TLS) when none is set; the proxy on its port
// with the user name login + "#" + POP server when the proxy is on.
struct PopEndpoint {
    QString host;
    QString port;
    QString user;
    QString password;
    mail::Security security = mail::Security::None;
    QString caFile;
    bool operator==(const PopEndpoint &) const = default;
};
[[nodiscard]] PopEndpoint popEndpoint(const Settings &s);
void applyEndpoint(const PopEndpoint &e, mail::Pop3Client &client);

// How a sending run is cut: packets on, their size, the pause between them.
// Size and pause are kept within 1..100000 and 1..1000, so that a hand-edited
// 0 can neither divide by zero nor make a pause of nothing.
struct PacketPlan {
    bool on = false;
    int size = kDefaultPacketSize;
    int pauseMinutes = kDefaultPacketPause;
};
[[nodiscard]] PacketPlan packetPlan(const Settings &s);

} // namespace kirvane::settings
