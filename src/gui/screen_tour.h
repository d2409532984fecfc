// A walk through the window that saves a screenshot of every stop: the
// empty window, the options dialog, a scanned database with one table's
// first grid page, a view's SQL text and the value viewer on one cell.
// The screenshots of the documentation are made with it.
#ifndef PAGEWRIGHT_GUI_SCREEN_TOUR_H_
#define PAGEWRIGHT_GUI_SCREEN_TOUR_H_

#include <QString>

#include "gui/main_window.h"

namespace pagewright {

struct TourStops {
  QString table = QStringLiteral("dbo.Customers");   // its first grid page
  QString valueTable = QStringLiteral("dbo.Employees");
  QString valueColumn = QStringLiteral("Notes");     // the viewer opens on row 1 of it
  QString imageColumn = QStringLiteral("Photo");     // and then on row 1 of this one
};

// Runs the tour on `window` over `database`, saving PNG files into
// `folder`; the number of screenshots that could not be made or saved.
int RunScreenTour(MainWindow& window, const QString& database, const QString& folder, const TourStops& stops = {});

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_SCREEN_TOUR_H_
