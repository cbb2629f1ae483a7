#include "reportread.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quorvel::simweb
{

Reported readReport(const std::filesystem::path &json)
{
    Reported reported;
    QFile file(QString::fromStdString(json.string()));
    if (!file.open(QIODevice::ReadOnly)) {
        reported.error = "no report at " + json.string();
        return reported;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        reported.error = "the report is not JSON: " + parseError.errorString().toStdString();
        return reported;
    }
    const QJsonObject root = document.object();
    const QJsonObject summary = root.value("summary").toObject();
    reported.complete = root.value("complete").toBool();
    reported.seconds = summary.value("seconds").toDouble();
    if (summary.contains("network_down"))
        reported.networkDown = summary.value("network_down").toBool();
    for (const QJsonValue &value : root.value("results").toArray()) {
        const QJsonObject entry = value.toObject();
        ReportedLink link;
        link.result = entry.value("result").toString().toStdString();
        link.reason = entry.value("reason").toString().toStdString();
        link.status = entry.value("status").toInt();
        link.ms = entry.value("ms").isDouble() ? entry.value("ms").toInteger() : -1;
        link.tries = entry.value("tries").toInt();
        link.unverified = entry.value("unverified").toBool();
        link.hostVerdict = entry.value("host_verdict").toBool();
        link.move = entry.value("move").toObject().value("result").toString().toStdString();
        reported.byUrl[entry.value("url").toString().toStdString()] = std::move(link);
    }
    return reported;
}

} // namespace quorvel::simweb
