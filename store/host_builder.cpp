#include "store/host_builder.h"

#include "store/staging.h"
#include "support/file_io.h"
#include "support/paths.h"

namespace rc {

const std::vector<HostDbLayout>& hostDbLayouts() {
  static const std::vector<HostDbLayout> layouts = {
      {HostDbKind::Main, "main.sql", "Main.emp"},
      {HostDbKind::ChannelSet, "channel_set.sql", "ChannelSets.emp"},
      {HostDbKind::Script, "script.sql", "Protocols.emp"},
      {HostDbKind::SessionProtocol, "script.sql", "Protocol.emp"},
      {HostDbKind::Module, "module.sql", "HRVModule.emp"},
      {HostDbKind::EncoderUnit, "encoder_unit.sql", nullptr},
  };
  return layouts;
}

const HostDbLayout& hostDbLayout(HostDbKind kind) {
  for (const HostDbLayout& l : hostDbLayouts())
    if (l.kind == kind) return l;
  return hostDbLayouts().front();
}

std::filesystem::path defaultSchemaFolder() { return programFolder() / "schema"; }

Result<HostDbBuilder> HostDbBuilder::create(HostDbKind kind, const std::filesystem::path& schemaFolder) {
  auto path = schemaFolder / hostDbLayout(kind).schemaFile;
  auto text = readWholeFile(path);
  if (!text) return text.status();
  auto db = std::make_unique<CADODatabase>();
  try {
    db->openInMemory();
    db->execute(std::string(text->begin(), text->end()));
  } catch (const CADOException& e) {
    return Status::error("The schema " + path.string() + " cannot be applied: " + e.text());
  }
  return HostDbBuilder(std::move(db));
}

HostDbBuilder& HostDbBuilder::execute(const std::string& sql) {
  db_->execute(sql);
  return *this;
}

std::vector<std::uint8_t> HostDbBuilder::bytes() { return db_->serialize(); }

Status HostDbBuilder::write(const std::filesystem::path& file) {
  try {
    return writeFileAtomic(file, bytes());
  } catch (const CADOException& e) {
    return Status::error(e.text());
  }
}

Status HostDbBuilder::writeChannelSet(const std::filesystem::path& file, std::uint32_t storedVersion) {
  try {
    std::vector<std::uint8_t> data = bytes();
    std::vector<std::uint8_t> trailer = versionTrailer(storedVersion);
    data.insert(data.end(), trailer.begin(), trailer.end());
    return writeFileAtomic(file, data);
  } catch (const CADOException& e) {
    return Status::error(e.text());
  }
}

Status makeTemplates(const std::filesystem::path& schemaFolder, const std::filesystem::path& outFolder) {
  std::error_code ec;
  std::filesystem::create_directories(outFolder, ec);
  if (ec) return Status::error("cannot create the folder " + outFolder.string() + ": " + ec.message());
  for (const HostDbLayout& l : hostDbLayouts()) {
    if (!l.templateName) continue;
    auto builder = HostDbBuilder::create(l.kind, schemaFolder);
    if (!builder) return builder.status();
    if (Status s = builder->write(outFolder / l.templateName); !s) return s;
  }
  return Status::ok();
}

}  // namespace rc
