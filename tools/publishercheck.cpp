// Checks a publisher's folder before scripts/make-installer.sh builds an
// installer of it, and names each problem by file and line:
//   - the skin archive packed of it (its skin/ with configure.xml as
//     configure/configure.xml): well-formed XML, window layouts the toolkit
//     reads, every control the installer drives in its main window, every
//     picture a layout names and every one the installer shows by name
//     (those of the shipped skin that no file names) present, balanced
//     markup in the language texts, and every key of the shipped
//     configure.xml and English language file present (the shipped skin is
//     this program's own archive);
//   - hosts.txt: every host setting of the build (given on the command line)
//     set, and nothing else; no loopback host;
//   - publisher.txt: the publisher pin, the GA4 measurement id (not the test
//     one), the time-stamp server and, optionally, the version texts;
//   - signing/key.pem and signing/cert.pem: present and of one key pair.
// --for-tests lets a build for tests name loopback hosts and the test
// measurement id; a release is checked without it.
// A closer with nothing to close is dropped by the toolkit, so it is only a
// warning, and none where the shipped English text has the same; everything
// else is an error and fails the check.
//
// usage: publishercheck [--for-tests] FOLDER SKIN_ZIP HOST_SETTING...
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/SharedFile.h"
#include "toolkit/LayoutParser.h"
#include "window/InstallUIMainWnd.h"
#include "toolkit/Markup.h"
#include "toolkit/Picture.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/XmlLoader.h"

namespace {

const char kConfigMember[] = "configure/configure.xml";
const char kEnglishMember[] = "language/language_english.xml";
const char kMainWindowMember[] = "InstallMainWnd.xml";
// The measurement id of builds for tests and the demo.
const char kTestMeasurementId[] = "G-TESTBED001";

class Report {
 public:
  void Error(const std::string& file, int line, const std::string& what) { Print(file, line, "error", what), ++errors_; }
  void Warning(const std::string& file, int line, const std::string& what) { Print(file, line, "warning", what); }
  int errors() const { return errors_; }

 private:
  static void Print(const std::string& file, int line, const char* kind, const std::string& what) {
    std::printf("%s%s: %s: %s\n", file.c_str(), line > 0 ? (":" + std::to_string(line)).c_str() : "", kind,
                what.c_str());
  }
  int errors_ = 0;
};

// The file of the publisher's folder a member of the packed archive came from.
std::string SourceOf(const std::string& member) { return member == kConfigMember ? "configure.xml" : "skin/" + member; }

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The "name" attribute of every element.
void CollectNames(const tinyxml2::XMLElement* element, std::set<std::string>* names) {
  for (; element; element = element->NextSiblingElement()) {
    if (const char* name = element->Attribute("name")) names->insert(name);
    CollectNames(element->FirstChildElement(), names);
  }
}

std::set<std::string> NamesIn(const tinyxml2::XMLDocument& document) {
  std::set<std::string> names;
  CollectNames(document.RootElement(), &names);
  return names;
}

// The keys of the shipped file that the publisher's copy lacks.
void ExpectKeysOf(const tinyxml2::XMLDocument& reference, const std::string& file,
                  const tinyxml2::XMLDocument& document, Report* report) {
  const std::set<std::string> present = NamesIn(document);
  for (const std::string& key : NamesIn(reference))
    if (!present.count(key)) report->Error(file, 0, "missing key \"" + key + "\"");
}

struct PictureUse {
  std::string attribute, picture;  // the picture as a member name, "/" between folders
  int line;
};

// Every picture the elements name. The toolkit's picture attributes all end
// in "image" (bkimage, normalimage, ...); a value that is no picture is the
// layout parser's to report.
void CollectPictures(const tinyxml2::XMLElement* element, std::vector<PictureUse>* uses) {
  for (; element; element = element->NextSiblingElement()) {
    for (const auto* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next()) {
      toolkit::Picture picture;
      std::string why;
      if (EndsWith(attribute->Name(), "image") && toolkit::ParsePicture(attribute->Value(), &picture, &why) &&
          !picture.file.empty()) {
        std::replace(picture.file.begin(), picture.file.end(), '\\', '/');
        uses->push_back({attribute->Name(), picture.file, element->GetLineNum()});
      }
    }
    CollectPictures(element->FirstChildElement(), uses);
  }
}

void CheckPictures(const std::set<std::string>& members, const std::string& file,
                   const tinyxml2::XMLDocument& document, Report* report) {
  std::vector<PictureUse> uses;
  CollectPictures(document.RootElement(), &uses);
  for (const PictureUse& use : uses)
    if (!members.count(use.picture))
      report->Error(file, use.line, use.attribute + " names the missing picture " + use.picture);
}

// The pictures of the shipped skin that none of its files names: the window
// code shows them by name (the carousel, the splash frames, ...).
std::vector<std::string> CodePictures(const toolkit::ResourceArchive& shipped) {
  std::vector<PictureUse> uses;
  const std::vector<std::string> members = shipped.MemberNames();
  for (const std::string& member : members) {
    tinyxml2::XMLDocument document;
    if (EndsWith(member, ".xml") && toolkit::LoadXml(shipped, platform::Utf8ToWide(member), &document))
      CollectPictures(document.RootElement(), &uses);
  }
  std::set<std::string> named;
  for (const PictureUse& use : uses) named.insert(use.picture);
  std::vector<std::string> pictures;
  for (const std::string& member : members)
    if (!EndsWith(member, ".xml") && !named.count(member)) pictures.push_back(member);
  return pictures;
}

// Every "text" attribute by the element's name (or tag).
void CollectTexts(const tinyxml2::XMLElement* element, std::map<std::string, const tinyxml2::XMLElement*>* texts) {
  for (; element; element = element->NextSiblingElement()) {
    if (element->Attribute("text"))
      texts->emplace(element->Attribute("name") ? element->Attribute("name") : element->Name(), element);
    CollectTexts(element->FirstChildElement(), texts);
  }
}

// Markup errors of a language file's texts; a stray closer (which the toolkit
// drops) only when the shipped English text of the key has none like it.
void CheckMarkup(const std::string& file, const tinyxml2::XMLDocument& document,
                 const tinyxml2::XMLDocument& shippedEnglish, Report* report) {
  std::map<std::string, const tinyxml2::XMLElement*> texts, shipped;
  CollectTexts(document.RootElement(), &texts);
  CollectTexts(shippedEnglish.RootElement(), &shipped);
  for (const auto& [key, element] : texts) {
    const toolkit::MarkupResult markup = toolkit::ParseMarkup(platform::Utf8ToWide(element->Attribute("text")));
    std::set<std::string> tolerated;
    if (shipped.count(key))
      for (const std::string& warning :
           toolkit::ParseMarkup(platform::Utf8ToWide(shipped[key]->Attribute("text"))).warnings)
        tolerated.insert(warning);
    for (const std::string& error : markup.errors) report->Error(file, element->GetLineNum(), key + ": " + error);
    for (const std::string& warning : markup.warnings)
      if (!tolerated.count(warning)) report->Warning(file, element->GetLineNum(), key + ": " + warning);
  }
}

// The main window (its pages included) must hold every control the
// installer finds by name: without its bar or its buttons an install
// cannot be followed or finished.
void CheckDrivenControls(const std::string& file, toolkit::WindowLayout* layout, Report* report) {
  for (const std::string& name : InstallUIMainWnd::ControlNames())
    if (!layout->root.Find(name)) report->Error(file, 0, "no control named \"" + name + "\": the installer drives it");
}

// An error message of the layout parser, "member[:line]: what".
void LayoutError(const std::string& error, Report* report) {
  static const std::regex located(R"(([^:]+?)(?::([0-9]+))?: (.*))");
  std::smatch match;
  if (std::regex_match(error, match, located))
    report->Error(SourceOf(match[1]), match[2].matched ? std::stoi(match[2]) : 0, match[3]);
  else
    report->Error("skin", 0, error);
}

void CheckArchive(const toolkit::ResourceArchive& archive, const toolkit::ResourceArchive& shipped,
                  Report* report) {
  tinyxml2::XMLDocument shippedConfig, shippedEnglish;
  toolkit::LoadXml(shipped, platform::Utf8ToWide(kConfigMember), &shippedConfig);
  toolkit::LoadXml(shipped, platform::Utf8ToWide(kEnglishMember), &shippedEnglish);
  const std::vector<std::string> names = archive.MemberNames();
  const std::set<std::string> members(names.begin(), names.end());
  for (const std::string& picture : CodePictures(shipped))
    if (!members.count(picture)) report->Error(SourceOf(picture), 0, "missing: the installer shows it by name");
  bool hasConfig = false;
  for (const std::string& member : names) {
    if (!EndsWith(member, ".xml")) continue;
    const std::string file = SourceOf(member);
    tinyxml2::XMLDocument document;
    std::string why;
    if (!toolkit::LoadXml(archive, platform::Utf8ToWide(member), &document, &why) || !document.RootElement()) {
      report->Error(file, document.ErrorLineNum(), "malformed XML: " + (why.empty() ? "no root element" : why));
      continue;
    }
    CheckPictures(members, file, document, report);
    if (member == kConfigMember) {
      hasConfig = true;
      ExpectKeysOf(shippedConfig, file, document, report);
    } else if (member.rfind("language/", 0) == 0) {
      CheckMarkup(file, document, shippedEnglish, report);
      ExpectKeysOf(shippedEnglish, file, document, report);
    } else if (member.find('/') == std::string::npos && std::string(document.RootElement()->Name()) == "Window") {
      toolkit::WindowLayout layout;
      toolkit::LayoutParser parser(archive, L"");
      if (!parser.ParseWindow(platform::Utf8ToWide(member), &layout))
        LayoutError(parser.error(), report);
      else if (member == kMainWindowMember)
        CheckDrivenControls(file, &layout, report);
    }
  }
  if (!hasConfig) report->Error("configure.xml", 0, "missing");
}

// Lines "KEY=value" of a settings file; blank lines and "#" comments are skipped.
struct Setting {
  std::string value;
  int line;
};

std::map<std::string, Setting> ReadSettings(const std::string& folder, const std::string& file, Report* report) {
  std::map<std::string, Setting> settings;
  std::ifstream in(folder + "/" + file);
  if (!in) {
    report->Error(file, 0, "missing");
    return settings;
  }
  static const std::regex entry(R"(\s*([A-Z0-9_]+)\s*=\s*(.*?)\s*)");
  std::string text;
  std::smatch match;
  for (int line = 1; std::getline(in, text); ++line) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos || text[first] == '#') continue;
    if (!std::regex_match(text, match, entry))
      report->Error(file, line, "not a line KEY=value");
    else if (!settings.emplace(match[1], Setting{match[2], line}).second)
      report->Error(file, line, std::string(match[1]) + " is set twice");
  }
  return settings;
}

// The host part of "host[:port]" names this machine.
bool IsLoopback(const std::string& hostAndPort) {
  static const std::regex loopback(R"((localhost|.*\.localhost|127(\.[0-9]+){3}|0\.0\.0\.0)\.?)", std::regex::icase);
  return std::regex_match(hostAndPort.substr(0, hostAndPort.find(':')), loopback);
}

void CheckHosts(const std::string& folder, const std::set<std::string>& known, bool forTests, Report* report) {
  const char file[] = "hosts.txt";
  static const std::regex hosts(R"([A-Za-z0-9.-]+(:[0-9]{1,5})?(;[A-Za-z0-9.-]+(:[0-9]{1,5})?)*)");
  const auto settings = ReadSettings(folder, file, report);
  for (const auto& [key, setting] : settings) {
    if (!known.count(key)) {
      report->Error(file, setting.line, key + " is no host setting of this build");
      continue;
    }
    if (!std::regex_match(setting.value, hosts)) {
      report->Error(file, setting.line, key + ": \"" + setting.value + "\" is not host[:port][;host[:port]...]");
      continue;
    }
    std::stringstream list(setting.value);
    for (std::string host; std::getline(list, host, ';');)
      if (!forTests && IsLoopback(host))
        report->Error(file, setting.line, key + ": " + host + " is this machine: a release names the servers users reach");
  }
  for (const std::string& key : known)
    if (!settings.count(key)) report->Error(file, 0, "missing " + key);
}

void CheckPublisher(const std::string& folder, bool forTests, Report* report) {
  const char file[] = "publisher.txt";
  const std::set<std::string> optional = {"SETUP_PRODUCT_NAME", "SETUP_COMPANY_NAME", "SETUP_LEGAL_COPYRIGHT"};
  // Each required setting with the form of its value.
  static const std::map<std::string, std::pair<std::regex, const char*>> required = {
      {"SETUP_PUBLISHER_PIN",
       {std::regex(R"([0-9a-fA-F]{64}(,[0-9a-fA-F]{64})*)"), "must be SHA-256 hashes in hexadecimal, \",\" between"}},
      {"SETUP_GA4_MEASUREMENT_ID",
       {std::regex(R"(G-[A-Z0-9]{10})"), "must be G- and ten upper-case letters or digits"}},
      {"SETUP_TIMESTAMP_URL",
       {std::regex(R"(https?://[^\s"']+)"), "must be the http:// or https:// address of a time-stamp server"}}};
  const auto settings = ReadSettings(folder, file, report);
  for (const auto& [key, setting] : settings) {
    const auto form = required.find(key);
    if (form != required.end() && !std::regex_match(setting.value, form->second.first))
      report->Error(file, setting.line, key + " " + form->second.second);
    else if (form == required.end() && !optional.count(key))
      report->Error(file, setting.line, key + " is no publisher setting");
    else if (key == "SETUP_GA4_MEASUREMENT_ID" && !forTests && setting.value == kTestMeasurementId)
      report->Error(file, setting.line, "SETUP_GA4_MEASUREMENT_ID is the test id: a release names its own");
  }
  for (const auto& entry : required)
    if (!settings.count(entry.first)) report->Error(file, 0, "missing " + entry.first);
}

template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

template <typename T, void (*Free)(T*)>
Owned<T, Free> ReadPem(const std::string& path, T* (*read)(FILE*, T**, pem_password_cb*, void*)) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return nullptr;
  Owned<T, Free> object(read(in, nullptr, nullptr, nullptr));
  std::fclose(in);
  return object;
}

void CheckSigningKey(const std::string& folder, Report* report) {
  const std::string keyFile = "signing/key.pem", certFile = "signing/cert.pem";
  const auto key = ReadPem<EVP_PKEY, EVP_PKEY_free>(folder + "/" + keyFile, PEM_read_PrivateKey);
  const auto cert = ReadPem<X509, X509_free>(folder + "/" + certFile, PEM_read_X509);
  if (!key) report->Error(keyFile, 0, "missing or not an unencrypted PEM private key");
  if (!cert) report->Error(certFile, 0, "missing or not a PEM certificate");
  if (key && cert && X509_check_private_key(cert.get(), key.get()) != 1)
    report->Error(certFile, 0, "is not the certificate of " + keyFile);
}

}  // namespace

int main(int argc, char** argv) {
  const bool forTests = argc > 1 && std::string(argv[1]) == "--for-tests";
  if (forTests) --argc, ++argv;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s [--for-tests] FOLDER SKIN_ZIP HOST_SETTING...\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::set<std::string> hostSettings(argv + 3, argv + argc);
  Report report;
  std::string zip;
  platform::ReadFileBytes(platform::Utf8ToWide(argv[2]), &zip);  // an unreadable file is no readable archive either
  const void* shippedData = nullptr;
  size_t shippedSize = 0;
  toolkit::ResourceArchive archive, shipped;
  if (!platform::LoadModuleResource(L"ZIPRES", 138, &shippedData, &shippedSize) ||
      !shipped.Open(shippedData, shippedSize)) {
    std::fprintf(stderr, "%s: the program carries no skin archive\n", argv[0]);
    return 2;
  }
  if (archive.Open(zip.data(), zip.size()))
    CheckArchive(archive, shipped, &report);
  else
    report.Error(argv[2], 0, "is no readable skin archive");
  CheckHosts(folder, hostSettings, forTests, &report);
  CheckPublisher(folder, forTests, &report);
  CheckSigningKey(folder, &report);
  if (report.errors() > 0) std::printf("%d problem(s) in %s\n", report.errors(), folder.c_str());
  return report.errors() > 0 ? 1 : 0;
}
