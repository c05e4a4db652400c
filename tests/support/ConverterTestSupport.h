#pragma once

// Small helpers shared by the converter's tests (header-only: the test mains do not link the
// converter).

#include "converter/catalogue/ConvertError.h"
#include "converter/catalogue/ConvertTarget.h"

#include "converter/queue/ConverterModel.h"

#include <QSignalSpy>

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

// Adds files to the model and waits until they are in its list (folders are walked in the
// background).
inline void addAndWait(ConverterModel& model, const QStringList& paths) {
    QSignalSpy added(&model, &ConverterModel::added);
    model.add(paths);
    EXPECT_TRUE(added.wait(30000)) << "adding timed out";
}

} // namespace ConverterTestSupport
