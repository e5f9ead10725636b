#pragma once

#include "common/error.h"
#include "common/product.h"
#include "common/prompts.h"

#include <exception>
#include <utility>

namespace t7 {

// Runs an event handler's work so that no exception crosses the event loop: whatever the
// work throws ends it and goes to the general error box. Returns false when it threw.
template <typename Work> bool guarded(Prompts& prompts, Work&& work) noexcept
{
    QString text;
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception& e) {
        text = exceptionText(e);
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    try {
        prompts.message(generalErrorText(text), applicationTitle(), Icon::Error);
    } catch (...) {
        // Nothing more can be told.
    }
    return false;
}

} // namespace t7
