#include "icons.h"

#include <QPainter>
#include <QSvgRenderer>

#include "platform/text_encoding.h"

// The pictures live in a static library: their resource must be registered.
static void RegisterPictures() {
  Q_INIT_RESOURCE(resources);
}

namespace quillet {
namespace {

QIcon LoadSvg(const QString& path) {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
  QIcon icon;
  QSvgRenderer renderer(path);
  for (int size : {16, 24, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon ProgramIcon() {
  return LoadSvg(":/icons/program.svg");
}
QIcon ToolIcon(const char* name) {
  return LoadSvg(QString(":/icons/%1.svg").arg(name));
}
QIcon StatusIcon(int kind) {
  return LoadSvg(QString(":/icons/status-%1.svg").arg(kind));
}
QIcon HistoryIcon(int code) {
  return LoadSvg(QString(":/icons/history-%1.svg").arg(code >= 0 && code <= 17 ? code : 6));
}

QIcon CheckIcon(bool checked) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor("#333333"), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(2.5, 2.5, 11, 11));
  if (checked) {
    p.setPen(QPen(QColor("#1e8449"), 2));
    p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(7, 10.5), QPointF(11.5, 5)}));
  }
  p.end();
  return QIcon(pixmap);
}

QString FromSjis(std::string_view sjis) {
  return QString::fromStdString(SjisToUtf8(sjis));
}

std::string ToSjis(const QString& text, size_t limit) {
  std::string sjis = Utf8ToSjis(text.toStdString());
  if (sjis.size() <= limit) return sjis;
  size_t keep = 0;
  while (keep < sjis.size()) {
    size_t len = IsSjisLeadByte(static_cast<unsigned char>(sjis[keep])) ? 2 : 1;
    if (keep + len > limit) break;
    keep += len;
  }
  return sjis.substr(0, keep);
}

}  // namespace quillet
