#include "netconfig/resolver_config.h"

#include "core/address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

namespace corvessa {

namespace {

bool IsIpv4Text(const std::string& text) { return ParseDottedIp(text).has_value(); }

bool OnlyStub(const ResolverConfig& config) {
  return !config.nameServers.empty() &&
         std::all_of(config.nameServers.begin(), config.nameServers.end(),
                     [](const std::string& server) { return server == kResolvedStubAddress; });
}

std::optional<ResolverConfig> ReadFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  return ParseResolvConf(file);
}

}  // namespace

ResolverConfig ParseResolvConf(std::istream& text) {
  ResolverConfig config;
  std::string domainLine;
  std::string searchFirst;
  std::string line;
  while (std::getline(text, line)) {
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    std::istringstream fields(line);
    std::string keyword, value;
    if (!(fields >> keyword >> value)) continue;
    if (keyword == "nameserver") {
      if (IsIpv4Text(value)) config.nameServers.push_back(value);
    } else if (keyword == "domain") {
      domainLine = value;
    } else if (keyword == "search") {
      // "." is the root, which no device can use as its domain.
      searchFirst = value == "." ? std::string() : value;
    }
  }
  config.domain = !domainLine.empty() && domainLine != "." ? domainLine : searchFirst;
  return config;
}

ResolverConfig ReadResolverConfig(const std::string& resolvConf, const std::string& resolvedUpstream) {
  std::optional<ResolverConfig> config = ReadFile(resolvConf);
  if (!config) return {};
  if (!OnlyStub(*config)) return *config;

  ResolverConfig upstream = ReadFile(resolvedUpstream).value_or(ResolverConfig{});
  if (upstream.domain.empty()) upstream.domain = config->domain;
  return upstream;
}

std::string NameServerText(const ResolverConfig& config) {
  std::string text;
  for (const auto& server : config.nameServers) {
    if (!text.empty()) text += ' ';
    text += server;
  }
  return text;
}

NameServerPair SplitNameServers(std::string_view text) {
  constexpr std::string_view kDelimiters = ", ";
  std::string tokens[2];
  std::size_t count = 0;
  std::size_t pos = 0;
  while (count < 2) {
    const std::size_t start = text.find_first_not_of(kDelimiters, pos);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(kDelimiters, start), text.size());
    tokens[count++] = std::string(text.substr(start, end - start));
    pos = end;
  }
  return {tokens[0], tokens[1]};
}

}  // namespace corvessa
