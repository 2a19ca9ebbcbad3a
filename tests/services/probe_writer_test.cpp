#include "services/probe_writer.hpp"

#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/system/system_error.hpp>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "core/cancellation.hpp"
#include "services/exclusive_file.hpp"
#include "support/fake_ai_provider.hpp"
#include "support/golden_file.hpp"
#include "support/run_coroutine.hpp"
#include "support/temp_dir.hpp"
#include "text/read_text.hpp"
#include "text/regex.hpp"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::FakeAIProvider;
using testing::run_to_completion;

constexpr const char* kFocus =
    "Analyse approfondie de la structure, des dépendances et des patterns";

class ProbeWriterTest : public ::testing::Test {
 protected:
  AnalysisConfig config_with_root(const fs::path& root) const {
    AnalysisConfig config;
    config.root_dir = root.string();
    return config;
  }

  ProbeWriter make_writer(std::shared_ptr<FakeAIProvider> provider = nullptr) const {
    return ProbeWriter(config_with_root(root_),
                       provider ? provider : std::make_shared<FakeAIProvider>());
  }

  std::optional<std::string> generate(ProbeWriter& writer, const std::string& source) const {
    return run_to_completion(writer.generate_analysis_code(source, "Python", kFocus));
  }

  testing::TempDir temp_;
  fs::path root_ = temp_.path() / "project";
};

TEST_F(ProbeWriterTest, ConstructorCreatesTheTemporaryDirectoryAndItsParents) {
  const ProbeWriter writer = make_writer();
  EXPECT_EQ(writer.temp_dir, (root_ / ".analysis_temp").string());
  EXPECT_TRUE(fs::is_directory(writer.temp_dir));
  EXPECT_TRUE(writer.generated_files().empty());
  // An existing directory is no error.
  EXPECT_NO_THROW(make_writer());
}

TEST_F(ProbeWriterTest, ConstructorFailuresReachTheCaller) {
  temp_.write("file", "x");
  EXPECT_THROW(
      ProbeWriter(config_with_root(temp_.path() / "file"), std::make_shared<FakeAIProvider>()),
      fs::filesystem_error);

  AnalysisConfig unknown = config_with_root(root_);
  unknown.ai_provider = "no-such-provider";
  EXPECT_THROW(ProbeWriter{unknown}, std::invalid_argument);
  AnalysisConfig offline = config_with_root(root_);
  offline.ai_provider = "offline";
  EXPECT_NO_THROW(ProbeWriter{offline});
}

TEST_F(ProbeWriterTest, PromptHoldsLanguageFocusAndSource) {
  const auto provider = FakeAIProvider::answering("code");
  ProbeWriter writer = make_writer(provider);
  const std::string source =
      "def main():\n    data = {\"relative_path\": \"{relative_path}\"}\n    return data  # é ✓\n";
  EXPECT_EQ(generate(writer, source), "code");
  ASSERT_EQ(provider->calls.size(), 1u);
  EXPECT_EQ(provider->calls[0].operation, "generate_content_with_retry");
  EXPECT_EQ(provider->calls[0].prompt,
            testing::golden_file("services/golden/analysis_code_prompt.txt"));
}

TEST_F(ProbeWriterTest, SourceIsCutToTenThousandCodePoints) {
  const auto provider = FakeAIProvider::answering("");
  ProbeWriter writer = make_writer(provider);
  // The 10 000th code point takes four bytes; the next one must not appear.
  const std::string source = std::string(9'999, 'a') + "𝄞" + "Z";
  generate(writer, source);
  generate(writer, "");
  const std::string& prompt = provider->calls.at(0).prompt;
  EXPECT_NE(prompt.find("```\n" + std::string(9'999, 'a') + "𝄞\n```\n"), std::string::npos);
  EXPECT_EQ(prompt.find('Z'), std::string::npos);
  EXPECT_NE(provider->calls.at(1).prompt.find("Code source à analyser:\n```\n\n```\n"),
            std::string::npos);
}

TEST_F(ProbeWriterTest, AnswerIsTrimmedAndItsOuterFenceLinesDropped) {
  const struct {
    const char* answer;
    const char* code;
  } cases[] = {
      {"```python\nprint(1)\n```", "print(1)"},
      {"  \n\tprint(1)\n  \n", "print(1)"},
      {"```python", ""},
      {"```", ""},
      {"```\n```", ""},
      {"```python\nx = 1\n```\nVoilà le code.", "x = 1\n```"},
      {"Voici le code:\n```python\nx = 1\n```", "Voici le code:\n```python\nx = 1\n```"},
      {"", ""},
      {"\n```py\n  indenté\n\n```\n", "  indenté\n"},
  };
  for (const auto& c : cases) {
    ProbeWriter writer = make_writer(FakeAIProvider::answering(c.answer));
    EXPECT_EQ(generate(writer, "src"), std::optional<std::string>(c.code)) << c.answer;
  }
}

TEST_F(ProbeWriterTest, ProviderFailureWarnsOnceAndTheNextCallWorks) {
  const auto provider = std::make_shared<FakeAIProvider>();
  int call = 0;
  provider->text_answer = [&call](const std::string&) -> std::string {
    if (++call == 1) throw std::runtime_error("quota dépassé");
    return "ok";
  };
  ProbeWriter writer = make_writer(provider);
  ::testing::internal::CaptureStdout();
  const std::optional<std::string> failed = generate(writer, "src");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "⚠️  Erreur lors de la génération de code d'analyse: quota dépassé\n");
  EXPECT_EQ(failed, std::nullopt);
  EXPECT_EQ(generate(writer, "src"), "ok");
}

TEST_F(ProbeWriterTest, CancellationReachesTheCaller) {
  const auto provider = FakeAIProvider::answering("late");
  provider->delay = std::chrono::hours(1);
  ProbeWriter writer = make_writer(provider);

  boost::asio::io_context context;
  boost::asio::cancellation_signal signal;
  std::exception_ptr outcome;
  bool finished = false;
  boost::asio::co_spawn(
      context, writer.generate_analysis_code("src", "Python", kFocus),
      boost::asio::bind_cancellation_slot(
          signal.slot(), [&](std::exception_ptr error, std::optional<std::string>) {
            outcome = error;
            finished = true;
          }));
  context.run_for(std::chrono::milliseconds(20));
  ASSERT_EQ(provider->calls.size(), 1u);
  ASSERT_FALSE(finished);
  ::testing::internal::CaptureStdout();
  signal.emit(boost::asio::cancellation_type::terminal);
  context.run();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_TRUE(finished);
  ASSERT_TRUE(outcome);
  try {
    std::rethrow_exception(outcome);
  } catch (const boost::system::system_error& error) {
    EXPECT_TRUE(is_cancellation(error));
  }
}

TEST_F(ProbeWriterTest, SavedFilesAreNamedByPrefixDigitsAndExtension) {
  ProbeWriter writer = make_writer();
  const std::optional<std::string> first = writer.save_temp_file("print('é')\r\n", "py");
  const std::optional<std::string> second = writer.save_temp_file("print(2)", "py");
  const std::optional<std::string> dotted = writer.save_temp_file("", ".js", "probe");
  ASSERT_TRUE(first && second && dotted);

  const auto named = [](const std::string& path, const char* pattern) {
    return text::Regex(pattern).find(fs::path(path).filename().string()).has_value();
  };
  EXPECT_TRUE(named(*first, R"(\Atemp_[0-9a-f]{8}\.py\z)")) << *first;
  EXPECT_TRUE(named(*dotted, R"(\Aprobe_[0-9a-f]{8}\.\.js\z)")) << *dotted;
  EXPECT_NE(*first, *second);
  EXPECT_EQ(fs::path(*first).parent_path(), fs::path(writer.temp_dir));
  EXPECT_EQ(text::read_file_bytes(*first), "print('é')\r\n");
  EXPECT_EQ(fs::file_size(*dotted), 0u);
  EXPECT_EQ(writer.generated_files(), (std::vector<std::string>{*first, *second, *dotted}));
}

TEST_F(ProbeWriterTest, NamesThatWouldLeaveTheDirectoryAreRefused) {
  ProbeWriter writer = make_writer();
  const struct {
    std::string extension;
    std::string prefix;
    const char* message;
  } cases[] = {
      {"py", "../evil", "le préfixe ne doit contenir ni « / » ni caractère nul"},
      {"py", std::string("a\0b", 3), "le préfixe ne doit contenir ni « / » ni caractère nul"},
      {"py/../../x", "temp", "l'extension ne doit contenir ni « / » ni caractère nul"},
      {std::string("p\0y", 3), "temp", "l'extension ne doit contenir ni « / » ni caractère nul"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(writer.save_temp_file("x", c.extension, c.prefix), std::nullopt);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              std::string("⚠️  Erreur lors de la sauvegarde du fichier temporaire: ") +
                  c.message + "\n");
  }
  EXPECT_TRUE(writer.generated_files().empty());
  EXPECT_TRUE(fs::is_empty(writer.temp_dir));
  EXPECT_EQ(std::distance(fs::directory_iterator(temp_.path()), fs::directory_iterator()), 1);
}

TEST_F(ProbeWriterTest, SaveAfterCleanupRemovedTheDirectoryWarns) {
  ProbeWriter writer = make_writer();
  ASSERT_TRUE(writer.save_temp_file("x", "py"));
  writer.cleanup();
  ASSERT_FALSE(fs::exists(writer.temp_dir));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(writer.save_temp_file("x", "py"), std::nullopt);
  EXPECT_EQ(
      ::testing::internal::GetCapturedStdout(),
      "⚠️  Erreur lors de la sauvegarde du fichier temporaire: No such file or directory\n");
  EXPECT_EQ(writer.generated_files().size(), 1u);
}

TEST(ExclusiveFileTest, NeverWritesThroughAPlantedLink) {
  testing::TempDir temp;
  const fs::path outside = temp.write("outside.txt", "précieux");
  fs::create_directory(temp.path() / "dir");
  fs::create_symlink(outside, temp.path() / "dir" / "temp_0badc0de.py");
  fs::create_symlink(temp.path() / "missing", temp.path() / "dir" / "dangling.py");

  for (const char* name : {"temp_0badc0de.py", "dangling.py"}) {
    try {
      exclusive_file::create((temp.path() / "dir").string(), name, "écrasé");
      FAIL() << "wrote through " << name;
    } catch (const std::system_error& error) {
      EXPECT_STREQ(error.what(), "File exists");
    }
  }
  EXPECT_EQ(text::read_file_bytes(outside), "précieux");
  EXPECT_FALSE(fs::exists(temp.path() / "missing"));

  // A directory replaced by a link is refused as well.
  fs::create_directory_symlink(temp.path() / "dir", temp.path() / "linked");
  EXPECT_THROW(exclusive_file::create((temp.path() / "linked").string(), "new.py", "x"),
               std::system_error);
  EXPECT_FALSE(fs::exists(temp.path() / "dir" / "new.py"));
}

TEST_F(ProbeWriterTest, CleanupDeletesRecordedFilesThenTheEmptyDirectory) {
  ProbeWriter writer = make_writer();
  const std::string first = *writer.save_temp_file("1", "py");
  const std::string second = *writer.save_temp_file("2", "py");
  fs::remove(first);  // deleted by someone else: skipped without a word
  ::testing::internal::CaptureStdout();
  writer.cleanup();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(fs::exists(second));
  EXPECT_FALSE(fs::exists(writer.temp_dir));
  EXPECT_EQ(writer.generated_files().size(), 2u);

  // A second cleanup finds nothing to do and says nothing.
  ::testing::internal::CaptureStdout();
  writer.cleanup();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(ProbeWriterTest, CleanupKeepsTheDirectoryWhileItHoldsAForeignFile) {
  ProbeWriter writer = make_writer();
  const std::string saved = *writer.save_temp_file("1", "py");
  const fs::path foreign = fs::path(writer.temp_dir) / "notes.txt";
  temp_.write(fs::relative(foreign, temp_.path()).string(), "à garder");
  writer.cleanup();
  EXPECT_FALSE(fs::exists(saved));
  EXPECT_TRUE(fs::exists(foreign));

  fs::remove(foreign);
  writer.cleanup();  // nothing recorded is left; the directory is empty now
  EXPECT_FALSE(fs::exists(writer.temp_dir));
}

TEST_F(ProbeWriterTest, CleanupStopsAtARecordedPathThatIsADirectory) {
  ProbeWriter writer = make_writer();
  const std::string first = *writer.save_temp_file("1", "py");
  const std::string second = *writer.save_temp_file("2", "py");
  fs::remove(first);
  fs::create_directory(first);
  ::testing::internal::CaptureStdout();
  writer.cleanup();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "⚠️  Erreur lors du nettoyage: Is a directory\n");
  EXPECT_TRUE(fs::exists(second));
  EXPECT_TRUE(fs::exists(writer.temp_dir));
}

TEST_F(ProbeWriterTest, CleanupNeverDeletesOutsideTheDirectory) {
  ProbeWriter writer = make_writer();
  const std::string recorded = *writer.save_temp_file("1", "py");
  const fs::path name = fs::path(recorded).filename();

  // The recorded file replaced by a link to a file outside: the link goes, the target stays.
  const fs::path target = temp_.write("target.py", "cible");
  fs::remove(recorded);
  fs::create_symlink(target, recorded);
  writer.cleanup();
  EXPECT_TRUE(fs::exists(target));
  EXPECT_FALSE(fs::is_symlink(recorded));

  // The directory replaced by a link to one holding a file of the recorded name.
  ProbeWriter second_writer = make_writer();
  const std::string second = *second_writer.save_temp_file("2", "py");
  const fs::path elsewhere = temp_.path() / "elsewhere";
  fs::create_directory(elsewhere);
  temp_.write(("elsewhere" / fs::path(second).filename()).string(), "à garder");
  fs::remove_all(second_writer.temp_dir);
  fs::create_directory_symlink(elsewhere, second_writer.temp_dir);
  ::testing::internal::CaptureStdout();
  second_writer.cleanup();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "⚠️  Erreur lors du nettoyage: Not a directory\n");
  EXPECT_TRUE(fs::exists(elsewhere / fs::path(second).filename()));
  EXPECT_TRUE(fs::is_symlink(second_writer.temp_dir));
}

}  // namespace
}  // namespace orvane
