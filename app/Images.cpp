#include "app/Images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <iterator>
#include <map>

#include "app/NodeKinds.h"

namespace vandrel::app {
namespace {

// A theme icon by its freedesktop name, else the bundled picture.
QIcon Themed(const char* Name, const char* Bundled) {
  return QIcon::fromTheme(QString::fromLatin1(Name), QIcon(QStringLiteral(":/icons/") + Bundled));
}

QIcon Server() { return Themed("network-server", "server.svg"); }
QIcon Database() { return Themed("server-database", "database.svg"); }
QIcon Folder() { return Themed("folder", "folder.svg"); }
QIcon Table() { return Themed("x-office-spreadsheet", "table.svg"); }
QIcon User() { return Themed("avatar-default", "user.svg"); }
QIcon Login() { return Themed("dialog-password", "login.svg"); }

enum class TMark { Lost, Offline, Damaged, ReadOnly, SingleUser, NoAccess, Restoring, Emergency };

// The corner mark, drawn in the lower right quarter and a bit (a 9/16 square).
void PaintMark(QPainter& p, TMark Mark, int Size) {
  const qreal s = Size * 9.0 / 16.0;
  const QRectF box(Size - s, Size - s, s, s);
  p.save();
  p.translate(box.topLeft());
  p.scale(s / 9.0, s / 9.0);  // drawn on a 9 x 9 grid
  QPen outline(QColor(255, 255, 255), 1.0);
  const auto disc = [&](const QColor& c) {
    p.setPen(outline);
    p.setBrush(c);
    p.drawEllipse(QRectF(0.5, 0.5, 8, 8));
  };
  const QPen white(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap);
  switch (Mark) {
    case TMark::Lost:  // a red disc with a cross
      disc(QColor(200, 30, 30));
      p.setPen(white);
      p.drawLine(QPointF(3, 3), QPointF(6, 6));
      p.drawLine(QPointF(6, 3), QPointF(3, 6));
      break;
    case TMark::Offline:  // a grey disc with a bar: switched off
      disc(QColor(90, 90, 90));
      p.setPen(white);
      p.drawLine(QPointF(2.7, 4.5), QPointF(6.3, 4.5));
      break;
    case TMark::Damaged: {  // an orange-red warning triangle with "!"
      QPainterPath t;
      t.moveTo(4.5, 0.3);
      t.lineTo(8.8, 8.5);
      t.lineTo(0.2, 8.5);
      t.closeSubpath();
      p.setPen(outline);
      p.setBrush(QColor(215, 55, 20));
      p.drawPath(t);
      p.setPen(white);
      p.drawLine(QPointF(4.5, 3.2), QPointF(4.5, 5.6));
      p.drawPoint(QPointF(4.5, 7.3));
      break;
    }
    case TMark::ReadOnly:  // a padlock
      p.setPen(QPen(QColor(120, 85, 0), 1.1));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(2.3, 0.6, 4.4, 5.0), 0, 180 * 16);
      p.drawLine(QPointF(2.3, 3.1), QPointF(2.3, 4.2));
      p.drawLine(QPointF(6.7, 3.1), QPointF(6.7, 4.2));
      p.setPen(QPen(QColor(120, 85, 0), 0.8));
      p.setBrush(QColor(240, 190, 30));
      p.drawRect(QRectF(1.0, 4.0, 7.0, 4.6));
      break;
    case TMark::SingleUser:  // a blue disc with one person
      disc(QColor(30, 100, 200));
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(3.3, 1.9, 2.4, 2.4));
      p.drawChord(QRectF(2.2, 4.6, 4.6, 4.2), 0, 180 * 16);
      break;
    case TMark::NoAccess:  // a red ring with a slash: no entry for this login
      p.setPen(QPen(QColor(200, 30, 30), 1.6));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(1.0, 1.0, 7, 7));
      p.drawLine(QPointF(2.3, 6.7), QPointF(6.7, 2.3));
      break;
    case TMark::Restoring: {  // a green disc with a turning arrow: being restored
      disc(QColor(30, 140, 60));
      p.setPen(white);
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(2.5, 2.5, 4, 4), 90 * 16, 270 * 16);
      QPainterPath head;
      head.moveTo(4.5, 1.4);
      head.lineTo(6.0, 2.5);
      head.lineTo(4.5, 3.6);
      head.closeSubpath();
      p.setBrush(Qt::white);
      p.drawPath(head);
      break;
    }
    case TMark::Emergency:  // an amber disc with two bars: held, as a paused thing
      disc(QColor(225, 140, 0));
      p.setPen(QPen(Qt::white, 1.3));
      p.drawLine(QPointF(3.4, 2.8), QPointF(3.4, 6.2));
      p.drawLine(QPointF(5.6, 2.8), QPointF(5.6, 6.2));
      break;
  }
  p.restore();
}

// Base with the marks painted over it, at the sizes a tree draws.
QIcon Marked(const QIcon& Base, std::initializer_list<TMark> Marks, bool Dimmed = false) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(0, 0, Base.pixmap(size, size, Dimmed ? QIcon::Disabled : QIcon::Normal));
    for (TMark m : Marks) PaintMark(p, m, size);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A folder with a small picture of what it holds in its corner.
QIcon FolderOf(const QIcon& Content) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.drawPixmap(0, 0, Folder().pixmap(size, size));
    const int small = size * 10 / 16;
    p.drawPixmap(size - small, size - small, Content.pixmap(small, small));
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A usable database's picture: single user and read only are marks of it, whichever of
// them names its kind.
QIcon UsableDatabase(int Marks) {
  if (Marks == dmNone) return Database();
  if (Marks == dmReadOnly) return Marked(Database(), {TMark::ReadOnly});
  if (Marks == dmSingleUser) return Marked(Database(), {TMark::SingleUser});
  return Marked(Database(), {TMark::ReadOnly, TMark::SingleUser});
}

QIcon Paint(int Index, int Marks) {
  switch (Index) {
    case nkDatabasesFolderAlt: case nkDatabasesFolder: return FolderOf(Database());
    case nkDatabase: return UsableDatabase(Marks);
    case nkDatabaseSingleUser: return UsableDatabase(Marks | dmSingleUser);
    case nkDatabaseReadOnly: return UsableDatabase(Marks | dmReadOnly);
    case nkDatabaseNoAccess: return Marked(Database(), {TMark::NoAccess});
    case nkDatabaseRestoring: return Marked(Database(), {TMark::Restoring}, true);
    case nkDatabaseEmergency: return Marked(Database(), {TMark::Emergency});
    case nkTablesFolder: return FolderOf(Table());
    case nkTable: return Table();
    case nkUsersFolder: return FolderOf(User());
    case nkUser: return User();
    case nkLoginsFolder: return FolderOf(Login());
    case nkLogin: return Login();
    case nkServer: return Server();
    case nkServerLost: return Marked(Server(), {TMark::Lost}, true);
    case nkDatabaseOffline: return Marked(Database(), {TMark::Offline}, true);
    case nkDatabaseDamaged: return Marked(Database(), {TMark::Damaged});
    default: return {};
  }
}

}  // namespace

QIcon ToolBarImage(int Index) {
  // What each command does, in the theme's words where it has them: the server's and the
  // client's network libraries, ODBC data sources, the service, the shop program's settings,
  // the server's processes; then the connection, copying and saving of the menus.
  static const struct { const char* Theme; const char* Bundled; } images[] = {
      {"network-server", "tb-server-network.svg"}, {"network-workgroup", "tb-client-network.svg"},
      {"server-database", "tb-odbc.svg"},          {"system-run", "tb-service.svg"},
      {"preferences-system", "tb-tovinex.svg"},    {"utilities-system-monitor", "tb-processes.svg"},
      {"network-connect", "tb-connect.svg"},       {"edit-copy", "tb-copy.svg"},
      {"document-save-as", "tb-save.svg"}};
  if (Index < 0 || Index >= static_cast<int>(std::size(images))) return {};
  return Themed(images[Index].Theme, images[Index].Bundled);
}

QIcon TreeImage(int Index, int Marks) {
  // Painted once per kind and state, since a rebuild sets the icons of every node. Kept to
  // the end of the process: pixmaps must not be freed after the application object.
  static auto* painted = new std::map<int, QIcon>;
  const int marks = IsUsableDatabaseKind(Index) ? Marks & (dmReadOnly | dmSingleUser) : dmNone;
  const int key = Index * 8 + marks;
  auto it = painted->find(key);
  if (it == painted->end()) it = painted->emplace(key, Paint(Index, marks)).first;
  return it->second;
}

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/icons/vandrel.svg")); }

}  // namespace vandrel::app
