#pragma once

// Small helpers shared by the converter's tests (header-only: the test mains do not link the
// converter).

#include "converter/catalogue/ConvertError.h"
#include "converter/catalogue/ConvertTarget.h"

#include <gtest/gtest.h>

namespace ConverterTestSupport {

// The catalogue row with that id; a test naming an unknown id fails instead of crashing.
inline ConvertTarget target(const char* id) {
    const auto found = ConvertTarget::byID(QString::fromLatin1(id));
    EXPECT_TRUE(found) << id;
    return found.value_or(ConvertTarget{});
}

// A conversion result as text, for comparisons and failure messages.
inline QString message(const ConvertResult& result) {
    return result ? result->message : QStringLiteral("(success)");
}

} // namespace ConverterTestSupport
