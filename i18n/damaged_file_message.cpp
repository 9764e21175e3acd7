#include "i18n/damaged_file_message.h"

#include "base/text.h"

namespace lum {
namespace {

constexpr const wchar_t* kProductName = L"Lum Bastion";
constexpr const wchar_t* kProductNameTraditional = L"Lum 堡壘";
constexpr const wchar_t* kDownloadFormat =
    L"https://www.lumbastion.example/download/?lang=%s&ch=%s";

struct Variant {
  std::vector<const wchar_t*> codes;  // lower case
  const wchar_t* caption;
  const wchar_t* text;  // followed by the missing file's name
  const wchar_t* yes;
  const wchar_t* no;
};

const std::vector<Variant>& Variants() {
  static const std::vector<Variant> variants = {
      {{L"zh-tw", L"cht"},
       kProductNameTraditional,
       L"Lum 堡壘的檔案已損毀。\n請重新安裝 Lum 堡壘並掃描病毒。\n損毀的檔案：",
       L"是", L"否"},
      {{L"zh-cn", L"chs"},
       kProductName,
       L"Lum Bastion 的文件已损坏。\n请重新安装 Lum Bastion 并查杀病毒。\n损坏的文件：",
       L"是", L"否"},
      {{L"ru", L"rus"},
       kProductName,
       L"Файлы Lum Bastion повреждены. \nПереустановите Lum Bastion и проверьте компьютер на "
       L"вирусы. \nПоврежденные файлы: ",
       L"Да", L"Нет"},
      {{L"pt-br", L"pt"},
       kProductName,
       L"Os arquivos do Lum Bastion foram danificados. \nReinstale o Lum Bastion e verifique se "
       L"há vírus. \nArquivos danificados: ",
       L"Sim", L"Não"},
      {{L"es-419", L"es"},
       kProductName,
       L"Los archivos de Lum Bastion están dañados. \nVuelva a instalar Lum Bastion y busque "
       L"virus. \nArchivos dañados: ",
       L"Sí", L"No"},
      {{L"tr", L"trk"},
       kProductName,
       L"Lum Bastion dosyaları hasar gördü. \nLütfen Lum Bastion'ı yeniden yükleyin ve virüs "
       L"taraması yapın. \nHasarlı dosyalar: ",
       L"Evet", L"Hayır"},
      {{L"vi"},
       kProductName,
       L"Các tệp của Lum Bastion đã bị hỏng. \nVui lòng cài đặt lại Lum Bastion và quét "
       L"virus. \nTệp bị hỏng: ",
       L"Có", L"Không"},
      {{L"hi"},
       kProductName,
       L"Lum Bastion की फ़ाइलें क्षतिग्रस्त हो गई हैं। \nकृपया Lum Bastion को फिर से इंस्टॉल करें "
       L"और वायरस के लिए स्कैन करें। \nक्षतिग्रस्त फ़ाइलें: ",
       L"हाँ", L"नहीं"},
      {{L"ar"},
       kProductName,
       L"ملفات Lum Bastion تالفة. \nيرجى إعادة تثبيت Lum Bastion والبحث عن الفيروسات. \n"
       L"الملفات التالفة: ",
       L"نعم", L"لا"},
      {{L"ko"},
       kProductName,
       L"Lum Bastion 파일이 손상되었습니다. \nLum Bastion을 다시 설치하고 바이러스를 검사하십시오. "
       L"\n손상된 파일: ",
       L"예", L"아니요"},
      {{L"de"},
       kProductName,
       L"Dateien von Lum Bastion wurden beschädigt. \nBitte installieren Sie Lum Bastion neu und "
       L"suchen Sie nach Viren. \nBeschädigte Dateien: ",
       L"Ja", L"Nein"},
      {{L"ja"},
       kProductName,
       L"Lum Bastion のファイルが破損しています。\nLum Bastion を再インストールし、ウイルス"
       L"スキャンを実行してください。\n破損したファイル: ",
       L"はい", L"いいえ"},
      {{L"fr"},
       kProductName,
       L"Les fichiers de Lum Bastion sont endommagés. \nVeuillez réinstaller Lum Bastion et "
       L"rechercher les virus. \nFichiers endommagés : ",
       L"Oui", L"Non"},
      {{L"it"},
       kProductName,
       L"I file di Lum Bastion sono danneggiati. \nReinstallare Lum Bastion ed eseguire una "
       L"scansione antivirus. \nFile danneggiati: ",
       L"Sì", L"No"},
  };
  return variants;
}

constexpr const wchar_t* kEnglish =
    L"Lum Bastion files have been damaged. \nPlease reinstall Lum Bastion and scan for viruses. "
    L"\nDamaged documents: ";

std::wstring FillTwo(const std::wstring& format, const std::wstring& first,
                     const std::wstring& second) {
  std::wstring out = format;
  const size_t a = out.find(L"%s");
  out.replace(a, 2, first);
  const size_t b = out.find(L"%s", a + first.size());
  out.replace(b, 2, second);
  return out;
}

}  // namespace

DamagedFileText DamagedFileMessage(const std::wstring& code, const std::wstring& missingFile) {
  const std::wstring lower = ToLowerAscii(code);
  for (const Variant& variant : Variants()) {
    for (const wchar_t* known : variant.codes) {
      if (lower == known)
        return {variant.caption, variant.text + missingFile, variant.yes, variant.no};
    }
  }
  return {kProductName, kEnglish + missingFile, L"Yes", L"No"};
}

std::vector<std::wstring> ConfigIniCandidates(const std::wstring& productFolder) {
  if (productFolder.empty()) return {};
  std::wstring folder = productFolder;
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return {productFolder, folder + L"\\config.ini", folder + L"\\..\\config.ini"};
}

std::wstring DamagedFileDownloadAddress(const std::wstring& language, const std::wstring& channel) {
  if (language.empty() || channel.empty()) return std::wstring();
  return FillTwo(kDownloadFormat, language, ToLowerAscii(channel));
}

std::wstring DamagedFileReportQuery(const std::wstring& missingFile, bool answeredYes,
                                    const ReportCommon& common) {
  const size_t slash = missingFile.find_last_of(L"\\/");
  const std::wstring name =
      slash == std::wstring::npos ? missingFile : missingFile.substr(slash + 1);
  return L"nosign.htm?f=" + name + L"&re=" + (answeredYes ? L"y" : L"n") + L"&mid=" + common.mid +
         L"&ver=" + common.ver + L"&lan=" + common.lan + L"&os=" + common.os + L"&ch=" + common.ch;
}

}  // namespace lum
