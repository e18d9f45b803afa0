// Where the lower layers (the download engine, the download configuration)
// send their analytics events, so that they need not know the analytics
// front end that receives them. The process's sink is attached to the run
// state by the program's start-up; until then, and after shut-down, events
// are dropped.
#pragma once

#include <map>
#include <string>

class EventSink {
 public:
  virtual ~EventSink() = default;
  // A simple event (category, action, label); `wait` asks for delivery
  // before returning, as far as the receiver waits at all.
  virtual int Event(const std::string& category, const std::string& action, const std::string& label,
                    bool wait) = 0;
  // A funnel event with its members.
  virtual int Funnel(const std::string& category, const std::string& action,
                     const std::map<std::string, std::string>& members, bool wait) = 0;
};
