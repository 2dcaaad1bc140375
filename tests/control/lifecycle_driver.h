// Drives the library through random sequences of host calls, platform
// notifications and injected platform faults, checking after every
// operation what a host relies on. A byte source picks every choice, so a
// seeded generator and a fuzzer's byte string drive it alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Where the driver's choices come from.
class ChoiceSource {
public:
  virtual ~ChoiceSource() = default;
  // False once the source is used up.
  virtual bool more() const = 0;
  virtual std::uint32_t next() = 0;
};

// A reproducible pseudo-random source (xorshift64*).
class SeededChoices final : public ChoiceSource {
public:
  explicit SeededChoices(std::uint64_t seed) : state_(seed | 1) {}
  bool more() const override { return true; }
  std::uint32_t next() override;

private:
  std::uint64_t state_;
};

// Four bytes per choice from a fuzzer's input; zero once it runs out.
class ByteChoices final : public ChoiceSource {
public:
  ByteChoices(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  bool more() const override { return offset_ < size_; }
  std::uint32_t next() override;

private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

struct DriverFigures {
  std::uint64_t operations = 0;
  std::uint64_t faultsInjected = 0;
  std::uint64_t referencesChecked = 0;
  std::uint64_t notificationsForwarded = 0;
  std::uint64_t movesRun = 0;
};

class LifecycleDriver {
public:
  // Starts from an unbound library and a fresh fake platform.
  LifecycleDriver();
  // Unbinds and checks that everything was given back.
  ~LifecycleDriver();

  // Runs one operation picked by the source and checks the invariants.
  // Returns false, with failure() set, when an invariant is broken.
  bool step(ChoiceSource &choices);

  const DriverFigures &figures() const { return figures_; }
  const std::string &failure() const { return failure_; }

private:
  void init(ChoiceSource &choices);
  void uninit(ChoiceSource &choices);
  void control(ChoiceSource &choices);
  void notify(ChoiceSource &choices);
  void switchDefault(ChoiceSource &choices);
  bool checkInvariants();
  bool fail(const std::string &what);

  DriverFigures figures_;
  std::string failure_;
  int expectedComDepth_ = 0;
  bool expectRegistered_ = false;
  bool expectWatching_ = false;
  bool expectCallback_ = false;
};

} // namespace fuzz
