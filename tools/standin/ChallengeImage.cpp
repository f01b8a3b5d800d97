#include "ChallengeImage.h"

#include "StandinPages.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <mutex>

namespace vorlith::standin {

QByteArray DrawChallengeImage(std::string_view characters, std::uint64_t seed) {
    // Font engines are shared between threads; one drawing at a time keeps them consistent.
    static std::mutex drawing;
    const std::lock_guard lock(drawing);

    std::uint64_t state = Mix(seed);
    const auto next = [&state](int range) {
        state = Mix(state);
        return static_cast<int>(state % static_cast<std::uint64_t>(range));
    };

    QImage image(ChallengeImageWidth, ChallengeImageHeight, QImage::Format_RGB32);
    image.fill(QColor(236, 240, 232));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    for (int i = 0; i < 6; ++i) {
        painter.setPen(QPen(QColor(150 + next(80), 150 + next(80), 150 + next(80)), 1 + next(2)));
        painter.drawLine(next(ChallengeImageWidth), next(ChallengeImageHeight), next(ChallengeImageWidth),
                         next(ChallengeImageHeight));
    }

    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    const int count = static_cast<int>(characters.size());
    const int step = count > 0 ? (ChallengeImageWidth - 20) / count : 0;
    for (int i = 0; i < count; ++i) {
        painter.save();
        painter.translate(14 + i * step + next(6), 42 + next(8) - 4);
        painter.rotate(next(31) - 15);
        painter.setPen(QColor(20 + next(60), 30 + next(60), 90 + next(90)));
        painter.drawText(0, 0, QString(QChar::fromLatin1(characters[static_cast<std::size_t>(i)])));
        painter.restore();
    }

    painter.end();
    for (int i = 0; i < 220; ++i)
        image.setPixelColor(next(ChallengeImageWidth), next(ChallengeImageHeight), QColor(90, 90, 90));

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace vorlith::standin
