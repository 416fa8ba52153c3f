// Power-cut harness: every scenario is run once to count the bytes it programs, then again with
// the power cut after each of those bytes in turn (whole and torn). The board then boots on the
// frozen image and is checked against a model: every object holds its last acknowledged value or
// the value whose write was cut, nothing retired comes back, a second clean boot gives the same
// image, and the journal goes on taking writes.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "database/journal_record.h"
#include "database/tests/flash_journal_support.h"

namespace {

struct Object {
    uint32_t width;  // 0 for a string
    std::string acked;
    std::optional<std::string> cut;  // the write under way when the power went
};

class Model {
public:
    void Add(uint32_t id, uint32_t width, std::string value) {
        objects_[id] = {width, std::move(value), std::nullopt};
    }
    void Begin(uint32_t id, const std::string& value) { objects_.at(id).cut = value; }
    void Acknowledge(uint32_t id) {
        Object& object = objects_.at(id);
        object.acked = *object.cut;
        object.cut.reset();
    }
    const std::map<uint32_t, Object>& Objects() const { return objects_; }

private:
    std::map<uint32_t, Object> objects_;
};

std::string Read(JournalBoard& board, uint32_t id, const Object& object) {
    return object.width == 0 ? board.Text(id) : std::to_string(board.Get(id, object.width));
}

void Write(JournalBoard& board, uint32_t id, const Object& object, const std::string& value) {
    if (object.width == 0) {
        board.SetText(id, value);
    } else {
        board.Set(id, object.width, static_cast<uint32_t>(std::stoul(value)));
    }
}

// Integer words of the NV image outside the string slots, and every modelled object.
std::vector<std::string> Dump(JournalBoard& board, const Model& model) {
    static const std::vector<uint32_t> words = [] {
        std::vector<uint32_t> out;
        for (uint32_t id = 0; id + 4 <= kNvImageSize; id += 4) {
            if (CDataBase::IsStringObject(id) == 0) {
                out.push_back(id);
            }
        }
        return out;
    }();
    std::vector<std::string> dump;
    std::string ints;
    for (uint32_t id : words) {
        const uint32_t value = board.Get(id, 4);
        ints.append(reinterpret_cast<const char*>(&value), 4);
    }
    dump.push_back(std::move(ints));
    for (const auto& [id, object] : model.Objects()) {
        dump.push_back(Read(board, id, object));
    }
    return dump;
}

struct Scenario {
    const char* name;
    FlashJournalGeometry geometry = SmallGeometry();
    bool cutFirstStart = false;
    // Writes made before the plan starts (already acknowledged).
    std::vector<std::pair<uint32_t, std::string>> setup;
    // Steps under test: either a write (id, value) or an action of the journal.
    struct Step {
        std::optional<std::pair<uint32_t, std::string>> write;
        std::function<void(JournalBoard&, Model&)> action;
    };
    std::vector<Step> steps;
};

Scenario::Step Writes(uint32_t id, std::string value) {
    return {std::make_pair(id, std::move(value)), nullptr};
}

Scenario::Step Does(std::function<void(JournalBoard&, Model&)> action) {
    return {std::nullopt, std::move(action)};
}

// A model write made by "another thread" inside a journal action.
void ModelWrite(JournalBoard& board, Model& model, uint32_t id, const std::string& value) {
    if (board.flash.PowerCut()) {
        return;
    }
    model.Begin(id, value);
    Write(board, id, model.Objects().at(id), value);
    if (!board.flash.PowerCut()) {
        model.Acknowledge(id);
    }
}

Model Defaults() {
    Model model;
    model.Add(kInt8Id, 1, "17");
    model.Add(kInt16Id, 2, "8738");
    model.Add(kInt32Id, 4, "858993459");
    model.Add(kTextId, 0, "abc");
    model.Add(kText2Id, 0, "system");
    model.Add(kFontNameId, 0, "F1");
    for (uint32_t i = 0; i < 6; ++i) {
        model.Add(1000 + 4 * i, 4, "0");
    }
    return model;
}

class Harness {
public:
    explicit Harness(const Scenario& scenario)
        : scenario_(scenario), board_(scenario.geometry, 1u << 16) {}

    // Runs the scenario with the power cut after `cutAfter` bytes (0: none); the model ends with
    // what was acknowledged and, at most one, write under way.
    Model Run(uint64_t cutAfter, bool tear) {
        Model model = Defaults();
        board_.flash = MemoryJournalServices();
        if (scenario_.cutFirstStart) {
            board_.flash.CutAfter(cutAfter, tear, static_cast<uint32_t>(cutAfter));
        }
        StartSystem(model, /*reboot=*/false);
        for (const auto& [id, value] : scenario_.setup) {
            model.Begin(id, value);
            Write(board_, id, model.Objects().at(id), value);
            model.Acknowledge(id);
        }
        if (!scenario_.cutFirstStart) {
            board_.flash.CutAfter(cutAfter, tear, static_cast<uint32_t>(cutAfter));
        }
        for (const Scenario::Step& step : scenario_.steps) {
            if (board_.flash.PowerCut()) {
                break;
            }
            if (step.write) {
                const auto& [id, value] = *step.write;
                model.Begin(id, value);
                Write(board_, id, model.Objects().at(id), value);
                if (!board_.flash.PowerCut()) {
                    model.Acknowledge(id);
                }
            } else {
                step.action(board_, model);
            }
        }
        board_.flash.onSleep = nullptr;
        return model;
    }

    uint64_t Programmed() const { return board_.flash.Programmed(); }

    // Boots on the frozen image and checks it against the model.
    void Check(const Model& model, const std::string& where) {
        // The boot on the frozen image may program bytes itself (sealing an unfinished record, a
        // fresh start): the power is cut there too, at a few of them, before a clean boot.
        const MemoryJournalServices::Image frozen = board_.flash.Snapshot();
        board_.flash.Reboot();
        board_.flash.CutAfter(0, false);
        StartSystem(model, /*reboot=*/false);
        const uint64_t recovery = board_.flash.Programmed();
        for (uint64_t cut :
             {uint64_t{1}, uint64_t{2}, uint64_t{3}, recovery / 2, recovery - 1, recovery}) {
            if (cut == 0 || cut > recovery) {
                continue;
            }
            board_.flash.Restore(frozen);
            board_.flash.CutAfter(cut, cut % 2 == 0, static_cast<uint32_t>(cut));
            StartSystem(model, /*reboot=*/false);
            StartSystem(model, /*reboot=*/true);
            CheckValues(model, where + ", start-up cut after byte " + std::to_string(cut));
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
        board_.flash.Restore(frozen);
        StartSystem(model, /*reboot=*/true);
        CheckValues(model, where);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
        const std::vector<std::string> first = Dump(board_, model);
        StartSystem(model, true);
        ASSERT_EQ(Dump(board_, model), first) << where << ": second boot differs";
        // The journal goes on: a write after the cut survives the next restart.
        board_.Set(1020, 4, 0xC0FFEE);
        board_.journal->ProcessDeletes();
        StartSystem(model, true);
        ASSERT_EQ(board_.Get(1020, 4), 0xC0FFEEu) << where << ": write after the cut lost";
    }

private:
    void CheckValues(const Model& model, const std::string& where) {
        for (const auto& [id, object] : model.Objects()) {
            const std::string value = Read(board_, id, object);
            const bool ok = value == object.acked || (object.cut && value == *object.cut);
            ASSERT_TRUE(ok) << where << ": object " << id << " reads \"" << value.substr(0, 40)
                            << "\", acknowledged \"" << object.acked.substr(0, 40) << "\"";
        }
    }

    // Boots as the controller does: replay, or the defaults written and the file committed.
    void StartSystem(const Model& model, bool reboot) {
        if (board_.Boot(false, reboot) == 0) {
            const Model defaults = Defaults();
            for (const auto& [id, object] : defaults.Objects()) {
                Write(board_, id, object, object.acked);
            }
            board_.journal->CommitActiveFile();
        }
        (void)model;
    }

    const Scenario& scenario_;
    JournalBoard board_;
};

void RunScenario(const Scenario& scenario) {
    Harness harness(scenario);
    harness.Run(0, false);
    const uint64_t total = harness.Programmed();
    ASSERT_GT(total, 0u) << scenario.name;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const uint64_t stride = total > 400 ? 7 : 1;  // sanitizer builds sample long runs
#else
    const uint64_t stride = 1;
#endif
    for (uint64_t cut = 1; cut <= total; cut += stride) {
        for (bool tear : {false, true}) {
            const Model model = harness.Run(cut, tear);
            harness.Check(model, std::string(scenario.name) + " cut after byte " +
                                     std::to_string(cut) + (tear ? " (torn)" : ""));
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
    }
}

std::string Octets(size_t n, char first) {
    std::string out(n, first);
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<char>(first + i % 23);
    }
    return out;
}

using Setup = std::vector<std::pair<uint32_t, std::string>>;

Scenario Make(const char* name, std::vector<Scenario::Step> steps, Setup setup = {}) {
    Scenario s;
    s.name = name;
    s.steps = std::move(steps);
    s.setup = std::move(setup);
    return s;
}

void ProcessDeletes(JournalBoard& board, Model&) {
    board.journal->ProcessDeletes();
}

std::vector<Scenario> Scenarios() {
    std::vector<Scenario> all;
    all.push_back(Make("first start", {Writes(kInt8Id, "5")}));
    all.back().cutFirstStart = true;
    all.push_back(Make("1-byte integer", {Writes(kInt8Id, "255"), Writes(kInt8Id, "0")}));
    all.push_back(Make("2-byte integer", {Writes(kInt16Id, "65535"), Writes(kInt16Id, "1")}));
    all.push_back(Make("4-byte integer", {Writes(kInt32Id, "4294967295"), Writes(kInt32Id, "2")}));
    const std::pair<size_t, const char*> strings[] = {{1, "1-octet string"},
                                                      {2, "2-octet string"},
                                                      {3, "3-octet string"},
                                                      {1600, "1600-octet string"}};
    for (const auto& [n, name] : strings) {
        const std::string text = Octets(n, 'a');
        all.push_back(
            Make(name, {Writes(kTextId, text), Writes(kText2Id, text), Writes(kInt8Id, "9")}));
    }
    // Not journalled: the object falls back to its journalled text after a restart.
    const std::string tooLong = Octets(1601, 'A');
    all.push_back(Make("1601-octet string", {Does([tooLong](JournalBoard& board, Model&) {
                                                 board.SetText(kTextId, tooLong);
                                             }),
                                             Writes(kInt8Id, "9")}));
    // A text that holds whole record images: a cut inside it must not bring them to life.
    std::string images = "text ";
    for (uint32_t id : {kInt32Id, uint32_t{1000}}) {
        uint8_t image[16];
        const size_t n = journal::BuildIntRecord(id, 4, 0xBAD, image, sizeof image);
        images.append(reinterpret_cast<const char*>(image), n);
    }
    all.push_back(
        Make("text holding record images", {Writes(kTextId, images), Writes(kInt8Id, "1")}));
    all.push_back(Make("emptying a string", {Writes(kTextId, ""), Writes(kFontNameId, ""),
                                             Does(ProcessDeletes), Writes(kTextId, "again")}));
    all.push_back(Make("deletion pass", {Does(ProcessDeletes)},
                       {{kInt32Id, "1"},
                        {kInt32Id, "2"},
                        {kTextId, "one"},
                        {kInt16Id, "3"},
                        {kTextId, "two"},
                        {kInt32Id, "4"},
                        {kTextId, "three"}}));
    all.push_back(Make("index-full marking",
                       {Writes(1012, "3"), Writes(1016, "1"), Writes(1016, "2"), Writes(1012, "4")},
                       {{1000, "1"}, {1004, "1"}, {1008, "1"}, {1012, "1"}, {1012, "2"}}));
    all.back().geometry.indexCapacity = 3;
    all.push_back(Make("compaction",
                       {
                           Does(ProcessDeletes),
                           Writes(kInt32Id, "3"),
                           Does([](JournalBoard& board, Model&) {
                               board.journal->SetCountdown(0);
                               board.journal->RequestCompaction();
                               board.journal->StateMachine_Defrag();  // the copy's header
                           }),
                           Does([](JournalBoard& board, Model& model) {
                               int turn = 0;
                               board.flash.onSleep = [&board, &model, turn]() mutable {
                                   ++turn;
                                   if (turn == 2) {
                                       ModelWrite(board, model, kInt16Id, "4");
                                   } else if (turn == 4) {
                                       ModelWrite(board, model, kTextId, "");
                                   }
                               };
                               board.journal->StateMachine_Defrag();  // copy and switch
                               board.flash.onSleep = nullptr;
                           }),
                           Does([](JournalBoard& board, Model&) {
                               board.journal->StateMachine_Defrag();  // cleaning
                               board.journal->ProcessDeletes();
                           }),
                           Writes(kInt32Id, "5"),
                           Does(ProcessDeletes),
                       },
                       {{kInt32Id, "1"},
                        {kTextId, "one"},
                        {kInt32Id, "2"},
                        {1000, "7"},
                        {kTextId, "two"},
                        {kInt16Id, "3"},
                        {kFontNameId, ""},
                        {1004, "8"}}));
    // A busy index: other tasks' writes during the copy make it run deletion passes inside.
    all.push_back(Make("compaction with passes inside the copy",
                       {
                           Does([](JournalBoard& board, Model& model) {
                               board.journal->SetCountdown(0);
                               board.journal->RequestCompaction();
                               board.journal->StateMachine_Defrag();
                               int turn = 0;
                               board.flash.onSleep = [&board, &model, turn]() mutable {
                                   ++turn;
                                   if (turn <= 12) {
                                       ModelWrite(board, model, 1000 + 4 * (turn % 5),
                                                  std::to_string(100 + turn));
                                   }
                               };
                               board.journal->StateMachine_Defrag();
                               board.flash.onSleep = nullptr;
                               board.journal->StateMachine_Defrag();
                           }),
                           Does(ProcessDeletes),
                       },
                       {{1000, "1"},
                        {1004, "2"},
                        {1000, "3"},
                        {1008, "4"},
                        {kTextId, "x"},
                        {1012, "5"},
                        {1016, "6"},
                        {1004, "7"}}));
    all.back().geometry.indexCapacity = 53;
    // A full index while the copy runs: records retired at once in both files, the copies the
    // new file already holds among them.
    all.push_back(Make("index-full marking during a compaction",
                       {
                           Does([](JournalBoard& board, Model& model) {
                               board.journal->SetCountdown(0);
                               board.journal->RequestCompaction();
                               board.journal->StateMachine_Defrag();
                               int turn = 0;
                               board.flash.onSleep = [&board, &model, turn]() mutable {
                                   ++turn;
                                   if (turn <= 8) {
                                       ModelWrite(board, model, 1000 + 4 * (turn % 4),
                                                  std::to_string(200 + turn));
                                   }
                               };
                               board.journal->StateMachine_Defrag();
                               board.flash.onSleep = nullptr;
                               board.journal->StateMachine_Defrag();
                           }),
                           Writes(1004, "9"),
                           Does(ProcessDeletes),
                       },
                       {{1000, "1"}, {1004, "2"}, {1008, "3"}, {1012, "4"}, {1000, "5"}}));
    all.back().geometry.indexCapacity = 3;
    return all;
}

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

class PowerCut : public ::testing::TestWithParam<Scenario> {};

TEST_P(PowerCut, EveryByteOfTheScenario) {
    RunScenario(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Journal, PowerCut, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

}  // namespace
