// The poll's indicator reports, kept in order on whatever thread sends them.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "link/pollthread.h"

namespace testsupport {

class ReportRecorder : public IndicatorHandover {
 public:
  using Report = std::pair<uint8_t, uint8_t>;  // status high, status low

  void RunIndicatorUpdate(uint8_t high, uint8_t low) override {
    std::lock_guard<std::mutex> g(m_);
    reports_.push_back({high, low});
  }
  size_t Count() {
    std::lock_guard<std::mutex> g(m_);
    return reports_.size();
  }
  std::vector<Report> Reports() {
    std::lock_guard<std::mutex> g(m_);
    return reports_;
  }

 private:
  std::mutex m_;
  std::vector<Report> reports_;
};

}  // namespace testsupport
