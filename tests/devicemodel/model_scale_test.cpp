// Cost against the model's shape: a model nested 100,000 levels deep below
// its section loads in a child process within a time and memory budget, and
// a model whose parameter sets would make the parameter document larger than
// kMaxParameterElements is refused with code 3 before anything is copied; the
// element count it is judged by is exact (checked against built documents).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "devicemodel/data_model_to_parameter.h"
#include "devicemodel/device_model_creator.h"
#include "devicemodel/messages.h"
#include "tests/devicemodel/model_text.h"
#include "xml/xml_walker.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 4;  // the sanitizers' allocator and checks
#else
constexpr double kSlowdown = 1;
#endif
constexpr double kSeconds = 5 * kSlowdown;
constexpr long kMegabytes = static_cast<long>(500 * kSlowdown);

constexpr char kMenu[] = "\t<Hmi mode=\"menuTree\"><Top type=\"root\"/></Hmi>\n";

std::string Attributes(int multiSets) {
  return "device=\"D\" versionContent=\"1\" multiSets=\"" + std::to_string(multiSets) + "\" versionSyntax=\"12\"";
}

std::string Model(const std::string& inside, int multiSets = 1) {
  return modeltest::WithTrailer(modeltest::Body(Attributes(multiSets), inside + kMenu));
}

// levels elements nested below the section, inside one parameter set.
std::string DeepModel(int levels) {
  std::string inside = "\t<Params type=\"sectionMDM\"><Set based=\"paraSet\" type=\"sectionSingleSet\">";
  for (int i = 0; i < levels; ++i) inside += "<N" + std::to_string(i % 10) + ">";
  for (int i = levels - 1; i >= 0; --i) inside += "</N" + std::to_string(i % 10) + ">";
  return Model(inside + "</Set></Params>\n");
}

long ResidentKilobytes(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
  long pages = 0, resident = 0;
  FILE* file = std::fopen(path, "r");
  if (!file) return 0;
  if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(file);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct ChildCost {
  bool created = false;
  double seconds = 0;
  long megabytes = 0;  // peak resident memory above the child's start
};

// Runs CreateCustomerDeviceParameter on model in a child process. The child
// is killed as soon as it passes twice the budget, so a model that would eat
// all memory fails the test instead of the machine.
ChildCost CreateInChild(const std::string& model) {
  ChildCost cost;
  const long before = ResidentKilobytes(getpid());
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    DeviceModelCreator creator(model.c_str());
    _exit(creator.CreateCustomerDeviceParameter("g", "c") ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, WNOHANG, &usage) == 0) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds > 2 * kSeconds || ResidentKilobytes(child) - before > 2 * kMegabytes * 1024) kill(child, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cost.megabytes = (usage.ru_maxrss - before) / 1024;
  cost.created = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return cost;
}

TEST(ModelScale, HundredThousandNestedLevelsLoadWithinBudget) {
  const ChildCost cost = CreateInChild(DeepModel(100000));
  std::printf("100,000 levels: %.2f s, %ld MB above the test process\n", cost.seconds, cost.megabytes);
  EXPECT_TRUE(cost.created);
  EXPECT_LT(cost.seconds, kSeconds);
  EXPECT_LT(cost.megabytes, kMegabytes);
}

TEST(ModelScale, DeepParameterIsFoundThroughTheIndexes) {
  modeltest::LoadedModel loaded(DeepModel(2000));
  ASSERT_TRUE(loaded.ok);
  std::string path = "/root/Params/Set";  // the same in both documents
  for (int i = 0; i < 2000; ++i) path += "/N" + std::to_string(i % 10);
  EXPECT_EQ(loaded.engine.Instances().Find(path).size(), 1u);
  EXPECT_EQ(loaded.engine.Instances().Find(path + "/").size(), 1u);
  EXPECT_TRUE(loaded.engine.Instances().Find(path + "/N0").empty());
  EXPECT_TRUE(loaded.engine.Instances().Find(path.substr(0, 12) + "/" + path.substr(12)).empty());
  EXPECT_FALSE(loaded.engine.Queries()->Find(path).IsNull());
  EXPECT_TRUE(loaded.engine.Queries()->Find(path + "/N9").IsNull());
}

size_t ElementsBelow(XmlNode top) {
  size_t count = 1;
  XmlVisitDescendants(top, [&](XmlNode node, int) {
    count += node.Type() == XmlNodeType::Element;
    return true;
  });
  return count;
}

// The count the refusal is judged by equals the document actually built.
TEST(ModelScale, PredictedElementCountMatchesTheBuiltDocument) {
  const std::string multi = "<S based=\"paraSet\" type=\"sectionMultiSet\"><A default=\"1\"/><B><C/></B></S>";
  const std::string nested =
      "<S based=\"paraSet\" type=\"sectionMultiSet\"><A/><T based=\"paraSet\" type=\"sectionMultiSet\"><X/><Y/>"
      "</T></S>";
  const std::string single = "<G based=\"paraSet\" type=\"sectionSingleSet\"><A/></G>";
  const std::string shared = "<M type=\"mdm\">" + multi + "</M><M type=\"mdm\"><S based=\"paraSet\" "
                             "type=\"sectionMultiSet\"><D/></S><S><E based=\"paraSet\"><F/></E></S></M>";
  for (const std::string& inside : {multi, nested, single, shared, multi + single + nested}) {
    for (int sets : {1, 2, 4, 7}) {
      SCOPED_TRACE(inside + " with " + std::to_string(sets) + " sets");
      XmlDocument destination;
      CDataModelToParameter builder(destination, sets, ParameterFileHeader{});
      modeltest::LoadedModel loaded(Model("\t<P type=\"sectionMDM\">" + inside + "</P>\n", sets), false);
      ASSERT_TRUE(loaded.ok);
      loaded.engine.Queries()->RootElement().Traverse(builder);
      const uint64_t predicted = builder.ElementCountAfterSetNumberPass(builder.Root());
      builder.SetNumberPass(builder.Root());
      EXPECT_EQ(predicted, ElementsBelow(builder.Root()));
    }
  }
}

// 2,001 parameters in 1,000 sets: 2,001,000 value elements, just above the limit.
TEST(ModelScale, TooManyParameterSetsAreRefusedWithCodeThree) {
  std::string parameters;
  for (int i = 0; i < 2001; ++i) parameters += "<P" + std::to_string(i) + " default=\"1\"/>";
  const std::string model =
      Model("\t<Params type=\"sectionMDM\"><S based=\"paraSet\" type=\"sectionMultiSet\">" + parameters +
                "</S></Params>\n",
            1000);
  modeltest::LoadedModel loaded(model, false);
  ASSERT_TRUE(loaded.ok);
  LoadResult result;
  EXPECT_FALSE(loaded.engine.CreateParameterDocument("g", "c", &result));
  EXPECT_EQ(result.code, 3);
  EXPECT_EQ(result.message, std::string(messages::kInvalidModel) + messages::kTooLargeBefore + "2002002" +
                                messages::kTooLargeMiddle + "2000000" + messages::kTooLargeAfter + "1000'");
  EXPECT_FALSE(loaded.engine.HasParameterDocument());
  DeviceModelCreator creator(model.c_str());
  EXPECT_FALSE(creator.CreateCustomerDeviceParameter("g", "c"));
  EXPECT_EQ(creator.GetLoadResult(), std::make_pair(result.code, result.message));
}

}  // namespace
