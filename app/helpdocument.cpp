#include "app/helpdocument.h"

#include <QList>
#include <QStringDecoder>

namespace tirelle::app {

namespace {

struct Part {
    QHash<QByteArray, QByteArray> headers;  // names in lower case, folded lines joined
    QByteArray body;
};

// Splits a message at its first empty line into headers and body.
Part readPart(const QByteArray& bytes) {
    Part part;
    qsizetype end = -1;
    qsizetype bodyAt = bytes.size();
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype next = bytes.indexOf('\n', at);
        if (next < 0) next = bytes.size();
        const QByteArray line = bytes.mid(at, next - at).trimmed();
        if (line.isEmpty()) {
            end = at;
            bodyAt = next + 1;
            break;
        }
        at = next + 1;
    }
    const QByteArray head = bytes.left(end < 0 ? bytes.size() : end);
    QByteArray name;
    for (QByteArray line : head.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) continue;
        if ((line.front() == ' ' || line.front() == '\t') && !name.isEmpty()) {
            part.headers[name] += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        name = line.left(colon).trimmed().toLower();
        part.headers[name] = line.mid(colon + 1).trimmed();
    }
    part.body = bodyAt < bytes.size() ? bytes.mid(bodyAt) : QByteArray();
    return part;
}

// The value before the first ';' of a header, lower case ("multipart/related").
QByteArray mainValue(const QByteArray& header) {
    return header.left(header.indexOf(';') < 0 ? header.size() : header.indexOf(';'))
        .trimmed()
        .toLower();
}

// A parameter of a header (boundary, charset), unquoted; empty when absent.
QByteArray parameter(const QByteArray& header, const QByteArray& name) {
    for (const QByteArray& piece : header.split(';').mid(1)) {
        const qsizetype equals = piece.indexOf('=');
        if (equals < 0 || piece.left(equals).trimmed().toLower() != name) continue;
        QByteArray value = piece.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

QByteArray decodeQuotedPrintable(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c != '=') {
            out += c;
            continue;
        }
        // A soft line break: '=' at the end of a line.
        if (at + 1 < bytes.size() && (bytes[at + 1] == '\n' || bytes[at + 1] == '\r')) {
            at += bytes[at + 1] == '\r' && at + 2 < bytes.size() && bytes[at + 2] == '\n' ? 2 : 1;
            continue;
        }
        bool ok = false;
        const int value = at + 2 < bytes.size() ? bytes.mid(at + 1, 2).toInt(&ok, 16) : 0;
        if (!ok) {
            out += c;  // not an escape: kept as written
            continue;
        }
        out += static_cast<char>(value);
        at += 2;
    }
    return out;
}

QByteArray decodedBody(const Part& part) {
    const QByteArray encoding = part.headers.value("content-transfer-encoding").trimmed().toLower();
    if (encoding == "base64") return QByteArray::fromBase64(part.body);
    if (encoding == "quoted-printable") return decodeQuotedPrintable(part.body);
    return part.body;
}

// The parts of a multipart body between its "--boundary" lines, each without the line break
// that belongs to the delimiter after it.
QList<QByteArray> splitParts(const QByteArray& body, const QByteArray& boundary) {
    QList<QByteArray> parts;
    const QByteArray delimiter = "--" + boundary;
    qsizetype partFrom = -1;
    qsizetype at = 0;
    while (at <= body.size()) {
        qsizetype next = body.indexOf('\n', at);
        if (next < 0) next = body.size();
        QByteArray line = body.mid(at, next - at);
        if (line.endsWith('\r')) line.chop(1);
        if (line.startsWith(delimiter)) {
            if (partFrom >= 0) {
                qsizetype partEnd = at;
                if (partEnd > partFrom && body[partEnd - 1] == '\n') --partEnd;
                if (partEnd > partFrom && body[partEnd - 1] == '\r') --partEnd;
                parts << body.mid(partFrom, partEnd - partFrom);
            }
            if (line.trimmed() == delimiter + "--") break;
            partFrom = next + 1;
        }
        at = next + 1;
    }
    return parts;
}

QString decodedText(const QByteArray& bytes, const QByteArray& charset) {
    QStringDecoder decoder(charset.isEmpty() ? QByteArray("utf-8") : charset);
    if (!decoder.isValid()) return QString::fromUtf8(bytes);
    return decoder.decode(bytes);
}

QString contentId(const QByteArray& header) {
    QByteArray id = header.trimmed();
    if (id.startsWith('<') && id.endsWith('>')) id = id.mid(1, id.size() - 2);
    return QStringLiteral("cid:") + QString::fromUtf8(id);
}

}  // namespace

std::optional<QByteArray> HelpDocument::part(const QUrl& name) const {
    const auto found = [this](const QString& key) -> std::optional<QByteArray> {
        const auto at = parts.constFind(key);
        if (at == parts.constEnd()) return std::nullopt;
        return *at;
    };
    if (name.scheme() == QLatin1String("cid")) return found(name.toString());
    if (auto direct = found(base.resolved(name).toString())) return direct;
    return found(name.toString());
}

std::optional<HelpDocument> ParseMhtml(const QByteArray& bytes) {
    const Part message = readPart(bytes);
    const QByteArray type = message.headers.value("content-type");
    HelpDocument document;
    if (mainValue(type) == "text/html") {
        document.html = decodedText(decodedBody(message), parameter(type, "charset"));
        return document;
    }
    if (!mainValue(type).startsWith("multipart/")) return std::nullopt;
    const QByteArray boundary = parameter(type, "boundary");
    if (boundary.isEmpty()) return std::nullopt;
    bool pageFound = false;
    for (const QByteArray& bytesOfPart : splitParts(message.body, boundary)) {
        const Part part = readPart(bytesOfPart);
        const QByteArray partType = part.headers.value("content-type");
        const QByteArray body = decodedBody(part);
        const QUrl location(QString::fromUtf8(part.headers.value("content-location")));
        if (!pageFound && mainValue(partType) == "text/html") {
            pageFound = true;
            document.html = decodedText(body, parameter(partType, "charset"));
            document.base = location;
            continue;
        }
        if (!location.isEmpty()) document.parts.insert(location.toString(), body);
        if (part.headers.contains("content-id"))
            document.parts.insert(contentId(part.headers.value("content-id")), body);
    }
    if (!pageFound) return std::nullopt;
    return document;
}

}  // namespace tirelle::app
