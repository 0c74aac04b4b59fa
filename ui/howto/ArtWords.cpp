#include "ui/howto/ArtWords.h"

#include "ui/Translated.h"

#include <QRegularExpression>

namespace svc::ui {

namespace {

// A text element and its words: the artwork writes them on one line each,
// with no markup inside.
const QRegularExpression& TextElement() {
    static const QRegularExpression element(QStringLiteral(R"((<(text|tspan)\b[^>]*>)([^<]*)(</\2\s*>))"));
    return element;
}

QString Unescaped(QString text) {
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));  // last: "&amp;lt;" is "&lt;"
    return text;
}

}  // namespace

QStringList ArtWords(const QByteArray& svg) {
    QStringList words;
    const QString text = QString::fromUtf8(svg);
    for (auto it = TextElement().globalMatch(text); it.hasNext();) words << Unescaped(it.next().captured(3));
    return words;
}

QByteArray TranslateArtWords(const QByteArray& svg, const std::function<QString(const QString&)>& translate) {
    const QString text = QString::fromUtf8(svg);
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    bool changed = false;
    for (auto it = TextElement().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString words = Unescaped(m.captured(3));
        const QString translated = words.trimmed().isEmpty() ? words : translate(words);
        if (translated == words) continue;
        changed = true;
        out += QStringView(text).mid(done, m.capturedStart(3) - done);
        out += translated.toHtmlEscaped();
        done = m.capturedEnd(3);
    }
    if (!changed) return svg;
    out += QStringView(text).mid(done);
    return out.toUtf8();
}

QByteArray TranslateArtWords(const QByteArray& svg) {
    return TranslateArtWords(svg, [](const QString& words) { return Tr(words); });
}

}  // namespace svc::ui
