#pragma once

#include <QString>

namespace t7 {

// The constant application title.
QString ProductTitle();

// The application title: the text of the task-bar button and the caption of message boxes.
// Kept here so that layers without widgets can read and set it.
QString applicationTitle();
void setApplicationTitle(const QString& title);

} // namespace t7
