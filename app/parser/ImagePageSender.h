// The page writer entries of the memory map behind the parser's PageSender.
#ifndef TORVANE_APP_PARSER_IMAGEPAGESENDER_H_
#define TORVANE_APP_PARSER_IMAGEPAGESENDER_H_

#include "PageWriter.h"
#include "TimingContext.h"

namespace torvane {

// writer must outlive the sender.
class ImagePageSender : public PageSender {
 public:
  explicit ImagePageSender(PageWriter& writer) : writer_(writer) {}

  void SendPageTitle(int16_t page) override { writer_.SendPageTitle(page); }
  void SendResultLine(int16_t blockAddress, int16_t line) override {
    writer_.SendResultLine(blockAddress, line);
  }
  void SendResultNames(int16_t blockAddress, int16_t line) override {
    writer_.SendResultNames(blockAddress, line);
  }
  void SendResultBody(int16_t page) override { writer_.SendResultBody(page); }
  void SendWholePage(int16_t page) override { writer_.SendWholePage(page); }

 private:
  PageWriter& writer_;
};

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_IMAGEPAGESENDER_H_
