// A plug-in reads the log's writer from the section the log offers it in, for the log's own field alone, and
// follows a log that comes anew at the same address.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "log/log_writer_offer.h"

namespace {

int QEL_LOG_WRITER_CALL WriteFirst(void*, const char*) { return 1; }
int QEL_LOG_WRITER_CALL WriteSecond(void*, const char*) { return 0; }

std::pair<void*, LogWriteLineFn> Offered(const LogWriterOffer& offer) { return {offer.log, offer.writeLine}; }

}  // namespace

TEST(LogWriterOfferView, ReadsTheOfferOfItsOwnFieldAndFollowsALogThatComesAnewThere) {
  FILE* fields[2] = {};
  int firstLog = 0;
  int secondLog = 0;
  const LogWriterOffer first{&firstLog, WriteFirst};
  const LogWriterOffer second{&secondLog, WriteSecond};
  auto offering = std::make_unique<LogWriterOfferSection>(&fields[0], first);
  const LogWriterOfferView view(&fields[0]);
  const LogWriterOfferView nothingOffered(&fields[1]);
  EXPECT_TRUE(view.Holds(&fields[0]));
  EXPECT_FALSE(view.Holds(&fields[1]));
  EXPECT_FALSE(nothingOffered.Holds(&fields[1]));  // looked for again at the next hand-over
  EXPECT_EQ(Offered(view.Read()), Offered(first));
  EXPECT_EQ(Offered(nothingOffered.Read()), Offered(LogWriterOffer{}));

  // The log goes and another comes at the same address: the view reads the new log's writer.
  offering.reset();
  const LogWriterOfferSection again(&fields[0], second);
  EXPECT_EQ(Offered(view.Read()), Offered(second));
}
