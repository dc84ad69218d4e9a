#include "mailing/Project.h"

#include "platform/SysUtils.h"
#include "toolkit/StrFile.h"

const char* const KeyFilterText = "FText";
const char* const KeyUseFilter = "UseF";
const char* const KeyUseHighlight = "UseCF";
const char* const KeyColorIndex = "CInd";
const char* const KeyColorRules = "FCol";
const char* const KeyDocument = "Doc";
const char* const KeyMailMode = "SubMail";
const char* const KeySubject = "Subject";
const char* const KeyToAddr = "ToAddr";
const char* const KeyPlain = "Plain";
const char* const KeyCharset = "Charset";
const char* const KeyReport = "Report";
const char* const KeyAttach = "Attach";
const char* const CalcExprPrefix = "CF~Expr~";
const char* const CalcTypePrefix = "CF~Type~";

namespace {

// The alternative of TProjectPayload that a kind uses.
size_t AlternativeOf(TPayloadKind kind) {
  switch (kind) {
    case TPayloadKind::None: return 0;
    case TPayloadKind::Int32: return 1;
    case TPayloadKind::String: return 2;
    case TPayloadKind::Byte: return 3;
    case TPayloadKind::Block8: return 4;
    case TPayloadKind::ColorRules: return 5;
  }
  return 0;
}

TProjectPayload EmptyOf(TPayloadKind kind) {
  switch (kind) {
    case TPayloadKind::None: return std::monostate{};
    case TPayloadKind::Int32: return int32_t{0};
    case TPayloadKind::String: return std::string();
    case TPayloadKind::Byte: return uint8_t{0};
    case TPayloadKind::Block8: return TBlock8{};
    case TPayloadKind::ColorRules: return TColorExpr{};
  }
  return std::monostate{};
}

void Damaged() { throw EProjectDamaged("project file damaged"); }

bool WriteStrChecked(TFileHandle& h, const std::string& s) {
  const int64_t before = h.Position();
  WriteStr(h, s);
  return before >= 0 && h.Position() == before + 4 + static_cast<int64_t>(s.size());
}

bool WriteInt32Checked(TFileHandle& h, int32_t v) {
  const int64_t before = h.Position();
  WriteInt32(h, v);
  return before >= 0 && h.Position() == before + 4;
}

}  // namespace

TPayloadKind PayloadKindOf(int32_t code) {
  switch (code) {
    case 1: case 13: case 14: case 17: return TPayloadKind::Int32;
    case 2: case 3: case 4: case 6: case 8: case 10: case 11: case 12: return TPayloadKind::String;
    case 5: case 9: return TPayloadKind::Byte;
    case 15: return TPayloadKind::Block8;
    case 16: return TPayloadKind::ColorRules;
    default: return TPayloadKind::None;
  }
}

std::string CalcFieldName(const std::string& key) {
  const size_t at = key.rfind('~');
  return at == std::string::npos ? key : key.substr(at + 1);
}

// ------------------------------------------------------------------ codec

void* TProject::LoadPayload(int32_t code, TFileHandle& h) {
  const TPayloadKind kind = PayloadKindOf(code);
  if (kind == TPayloadKind::None) return nullptr;
  TProjectPayload p;
  switch (kind) {
    case TPayloadKind::None: break;
    case TPayloadKind::Int32: {
      int32_t v = 0;
      if (!ReadInt32(h, v)) Damaged();
      p = v;
      break;
    }
    case TPayloadKind::String: {
      std::string s;
      if (!ReadStr(h, s)) Damaged();
      p = std::move(s);
      break;
    }
    case TPayloadKind::Byte: {
      uint8_t b = 0;
      if (!h.ReadExact(&b, 1)) Damaged();
      p = b;
      break;
    }
    case TPayloadKind::Block8: {
      TBlock8 b{};
      if (!h.ReadExact(b.data(), 8)) Damaged();
      p = b;
      break;
    }
    case TPayloadKind::ColorRules: {
      TColorExpr rules;
      for (auto& r : rules)
        if (!h.ReadExact(&r.Flag, 1) || !ReadStr(h, r.Expression)) Damaged();
      p = std::move(rules);
      break;
    }
  }
  return new TProjectPayload(std::move(p));
}

bool TProject::SavePayload(int32_t code, const void* properties, TFileHandle& h) {
  const TPayloadKind kind = PayloadKindOf(code);
  if (kind == TPayloadKind::None) return true;
  TProjectPayload empty = EmptyOf(kind);
  const auto* stored = static_cast<const TProjectPayload*>(properties);
  const TProjectPayload& p = stored && stored->index() == AlternativeOf(kind) ? *stored : empty;
  switch (kind) {
    case TPayloadKind::None: return true;
    case TPayloadKind::Int32: return WriteInt32Checked(h, std::get<int32_t>(p));
    case TPayloadKind::String: return WriteStrChecked(h, std::get<std::string>(p));
    case TPayloadKind::Byte: {
      const uint8_t b = std::get<uint8_t>(p);
      return h.WriteExact(&b, 1);
    }
    case TPayloadKind::Block8: return h.WriteExact(std::get<TBlock8>(p).data(), 8);
    case TPayloadKind::ColorRules:
      for (const auto& r : std::get<TColorExpr>(p))
        if (!h.WriteExact(&r.Flag, 1) || !WriteStrChecked(h, r.Expression)) return false;
      return true;
  }
  return true;
}

// ------------------------------------------------------------------ dictionary

TProject::TProject() {
  DList1.Separator = '~';
  DList1.OnDisposeStructure = [](TDList*, int, void* p) { delete static_cast<TProjectPayload*>(p); };
  DList1.OnLoadStructure = [](TDList*, int code, void*& p, TFileHandle& h, int) { p = LoadPayload(code, h); };
  // Failures of a write are found by the file writer from the file's size.
  DList1.OnSaveStructure = [](TDList*, int code, void* p, TFileHandle& h, int) { SavePayload(code, p, h); };
}

TProject::~TProject() = default;

bool TProject::Has(const std::string& key) const {
  int code = 0;
  void* p = nullptr;
  return DList1.Find(key, code, p);
}

std::vector<std::string> TProject::Keys() {
  std::vector<std::string> keys;
  DList1.SetScanRange("", 0, INT32_MAX);
  std::string key;
  for (bool ok = DList1.FindFirst(); ok; ok = DList1.FindNext())
    if (DList1.GetKey(key)) keys.push_back(key);
  return keys;
}

void TProject::Set(const std::string& key, int32_t code, TProjectPayload payload) {
  const TPayloadKind kind = PayloadKindOf(code);
  if (kind == TPayloadKind::None) {
    DList1.Add(key, code, nullptr);
    return;
  }
  if (payload.index() != AlternativeOf(kind)) payload = EmptyOf(kind);
  DList1.Add(key, code, new TProjectPayload(std::move(payload)));
}

bool TProject::Find(const std::string& key, int32_t& code, const TProjectPayload*& payload) const {
  int c = 0;
  void* p = nullptr;
  if (!DList1.Find(key, c, p)) return false;
  code = c;
  payload = static_cast<const TProjectPayload*>(p);
  return true;
}

namespace {
template <class T>
bool GetAs(const TProject& project, const std::string& key, T& v) {
  int32_t code = 0;
  const TProjectPayload* p = nullptr;
  if (!project.Find(key, code, p) || !p) return false;
  const T* value = std::get_if<T>(p);
  if (!value) return false;
  v = *value;
  return true;
}
}  // namespace

bool TProject::GetInt(const std::string& key, int32_t& v) const { return GetAs(*this, key, v); }
bool TProject::GetString(const std::string& key, std::string& v) const { return GetAs(*this, key, v); }
bool TProject::GetByte(const std::string& key, uint8_t& v) const { return GetAs(*this, key, v); }
bool TProject::GetColorRules(const std::string& key, TColorExpr& v) const { return GetAs(*this, key, v); }

// ------------------------------------------------------------------ calculated fields

std::vector<std::string> TProject::CalcFieldNames() {
  std::vector<std::string> names;
  DList1.SetScanRange(CalcExprPrefix, 0, 0);
  std::string key;
  int code = 0;
  for (bool ok = DList1.FindFirst(); ok; ok = DList1.FindNext())
    if (DList1.GetStructure(code) && code == pcCalcExpr && DList1.GetKey(key))
      names.push_back(CalcFieldName(key));
  return names;
}

bool TProject::HasCalcField(const std::string& name) const {
  int32_t code = 0;
  const TProjectPayload* p = nullptr;
  return Find(CalcExprPrefix + name, code, p) && code == pcCalcExpr;
}

void TProject::AddCalcField(const std::string& name) {
  SetString(CalcExprPrefix + name, pcCalcExpr, "");
  SetInt(CalcTypePrefix + name, pcCalcType, cftString);
}

void TProject::DeleteCalcField(const std::string& name) {
  Delete(CalcTypePrefix + name);
  Delete(CalcExprPrefix + name);
}

void TProject::SetCalcExpression(const std::string& name, const std::string& expression) {
  SetString(CalcExprPrefix + name, pcCalcExpr, expression);
}

void TProject::SetCalcType(const std::string& name, int32_t typeIndex) {
  SetInt(CalcTypePrefix + name, pcCalcType, typeIndex);
}

bool TProject::FindCalcField(const std::string& name, TCalcFieldDef& def) const {
  if (name.empty() || name.find('~') != std::string::npos) return false;
  int32_t code = 0;
  const TProjectPayload* p = nullptr;
  if (!Find(CalcExprPrefix + name, code, p) || code != pcCalcExpr) return false;
  def = TCalcFieldDef();
  if (!GetString(CalcExprPrefix + name, def.Expression)) return false;
  def.HasType = GetInt(CalcTypePrefix + name, def.TypeIndex);
  return true;
}
