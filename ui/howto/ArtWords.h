// The words drawn in the how-to pictures, in the user's language. The
// pictures are SVG files compiled into the program; their words (the text
// of each <text> and <tspan>) are the catalogue's texts, extracted by
// po/extract.sh, and are replaced by their translations when a picture is
// loaded. Nothing else of the picture changes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace svc::ui {

// The words of each text in the picture, in the order drawn (entities read).
QStringList ArtWords(const QByteArray& svg);

// The picture with each text's words replaced by `translate`'s answer,
// written back XML-escaped. When no text changes (the C locale, a language
// without a catalogue) the very bytes given are returned.
QByteArray TranslateArtWords(const QByteArray& svg, const std::function<QString(const QString&)>& translate);
QByteArray TranslateArtWords(const QByteArray& svg);  // through the catalogue

}  // namespace svc::ui
