#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "agents/vetting_agent.hpp"
#include "text/regex.hpp"

namespace orvane {
namespace {

using Items = std::vector<std::string>;

struct SectionCase {
  const char* name;
  std::string text;
  std::string start;
  std::optional<std::string> end;
  std::string expected;
};

TEST(ExtractSectionTest, Cases) {
  const SectionCase cases[] = {
      {"body between two headings, trimmed",
       "## Objectif / Fonction principale\n\nLe fichier fait une chose.\n\n"
       "## Points forts / Bonnes pratiques\n- a\n",
       "Objectif", "Points forts", "Le fichier fait une chose."},
      {"start heading in capitals", "## OBJECTIF\nx\n## Points forts\n", "Objectif", "Points forts",
       "x"},
      {"end heading in lower case", "## Objectif\nx\n## points forts\ny\n", "Objectif",
       "Points forts", "x"},
      {"no end heading runs to the end", "## Points forts\n- a\n- b\n## Risques\n- r\n",
       "Points forts", "Relations", "- a\n- b\n## Risques\n- r"},
      {"absent end marker runs to the end", "## Suggestions\n1. a\n\n", "Suggestions", std::nullopt,
       "1. a"},
      {"empty end marker acts as absent", "## Objectif\nx\n## Points forts\ny", "Objectif", "",
       "x\n## Points forts\ny"},
      {"heading without line feed is not found", "intro\n## Objectif", "Objectif", std::nullopt,
       ""},
      // The end heading's extra "#" stays in the body.
      {"level-3 headings open and end sections", "### Objectif\nx\n### Points forts\n", "Objectif",
       "Points forts", "x\n#"},
      {"first occurrence wins", "## Objectif\nun\n## Points forts\n## Objectif\ndeux\n", "Objectif",
       "Points forts", "un"},
      {"the rest of the heading line is skipped", "## Objectif / Fonction: main\nbody", "Objectif",
       std::nullopt, "body"},
      {"heading anywhere, even mid-line", "texte ## Objectif\nx", "Objectif", std::nullopt, "x"},
      {"missing start heading", "## Risques\n- r\n", "Objectif", "Points forts", ""},
      {"empty text", "", "Objectif", "Points forts", ""},
      {"markers are pattern text", "## Risques, dettes\n- r\n## Suggestions\n", "Risq.es",
       "Sugg|Nope", "- r"},
  };
  for (const SectionCase& c : cases) {
    const std::optional<std::string_view> end =
        c.end ? std::optional<std::string_view>(*c.end) : std::nullopt;
    EXPECT_EQ(VettingAgent::_extract_section(c.text, c.start, end), c.expected) << c.name;
  }
}

TEST(ExtractSectionTest, InvalidMarkerPatternThrows) {
  EXPECT_THROW(VettingAgent::_extract_section("## a\nb", "(", std::nullopt), text::RegexError);
}

struct ListCase {
  const char* name;
  std::string section_body;
  Items expected;
};

TEST(ExtractListItemsTest, Cases) {
  const ListCase cases[] = {
      {"bullets of the three kinds", "- un\n* deux\n+ trois\n", {"un", "deux", "trois"}},
      {"bullets win over numbers", "- puce\n1. numéro\n", {"puce"}},
      {"numbered entries of the prompt's format keep only their titles",
       "1.  **Titre de l'amélioration :**\n    Description détaillée.\n\n"
       "2.  **Autre amélioration :**\n    Description.\n",
       {"**Titre de l'amélioration :**", "**Autre amélioration :**"}},
      {"bold markers are kept",
       "- **Titre du point :** Description détaillée",
       {"**Titre du point :** Description détaillée"}},
      {"indented bullets fall back to plain lines",
       "Intro\n  - a\n  - b\n",
       {"Intro", "- a", "- b"}},
      // The section is trimmed, so its first line loses its indentation.
      {"a first indented bullet becomes a bullet", "  - a\n  - b\n", {"a"}},
      {"plain lines skip blanks and headings",
       "ligne un\n\n### sous-titre\n  ligne deux  \n",
       {"ligne un", "ligne deux"}},
      {"a bullet alone takes the next line", "-\nsuite du point\n", {"suite du point"}},
      {"a bullet needs whitespace after it", "-collé\n", {"-collé"}},
      {"duplicates are kept", "- a\n- a\n", {"a", "a"}},
      {"trailing spaces of an item are trimmed", "- a   \n", {"a"}},
  };
  for (const ListCase& c : cases) {
    const std::string text = "## Points forts\n" + c.section_body + "\n## Risques\n- r\n";
    EXPECT_EQ(VettingAgent::_extract_list_items(text, "Points forts", "Risques"), c.expected)
        << c.name;
  }
}

TEST(ExtractListItemsTest, MissingSectionOrEmptyTextGivesNoItems) {
  EXPECT_EQ(VettingAgent::_extract_list_items("", "Risques", "Suggestions"), Items{});
  EXPECT_EQ(VettingAgent::_extract_list_items("## Objectif\n- a\n", "Risques", std::nullopt),
            Items{});
}

}  // namespace
}  // namespace orvane
