// Field extraction of one typical Japanese web-form mail: 4 header and 8
// body parameters, two of the body keys regular expressions.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TFakeMail.h"
#include "TestText.h"
#include "params/TFieldExtractor.h"

namespace {

TFakeMail FormMail() {
    const char* lines[] = {
        "以下の内容でお問い合わせを受け付けました。",
        "担当者より折り返しご連絡いたします。",
        "",
        "────────────────────────",
        "受付番号：FORM-20030616-00123",
        "受付日時：2003年6月16日 14:32",
        "────────────────────────",
        "",
        "■お名前　　　：　山田　太郎",
        "■フリガナ　　：　ヤマダ　タロウ",
        "■会社名　　　：　株式会社サンプル商事",
        "■部署名　　　：　営業部　第二課",
        "■郵便番号　　：　123-4567",
        "■ご住所　　　：　東京都千代田区丸の内１－２－３　サンプルビル５Ｆ",
        "■電話番号　　：　03-1234-5678",
        "■ＦＡＸ番号　：　03-1234-5679",
        "■メールアドレス：　taro.yamada@example.co.jp",
        "■ご希望の資料：　製品カタログ（２００３年版）、価格表",
        "■ご購入予定　：　３ヶ月以内",
        "■当社を知ったきっかけ：　展示会",
        "",
        "■お問い合わせ内容：",
        "いつもお世話になっております。",
        "先日の展示会で御社の製品を拝見し、大変興味を持ちました。",
        "つきましては、製品カタログと価格表をお送りいただけますでしょうか。",
        "また、導入事例などの資料がございましたら、あわせてお願いいたします。",
        "",
        "特に以下の点について詳しく知りたいと考えております。",
        "　・既存システムとの連携方法",
        "　・導入にかかる期間と費用の目安",
        "　・保守サポートの内容",
        "",
        "お忙しいところ恐縮ですが、よろしくお願いいたします。",
        "────────────────────────",
        "",
        "■備考：",
        "平日の午前中は外出していることが多いため、",
        "ご連絡はメールでいただけますと幸いです。",
        "────────────────────────",
        "",
        "※このメールはフォームから自動送信されています。",
        "※このメールに返信されても回答できませんのでご了承ください。",
        "",
        "ブラウザ：Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)",
        "ＩＰアドレス：192.0.2.15",
        "送信元ページ：http://www.example.jp/contact/form.html",
        "",
        "━━━━━━━━━━━━━━━━━━━━━━━━",
        "株式会社エグザンプル",
        "〒100-0005 東京都千代田区丸の内９－８－７",
        "TEL：03-9876-5432　FAX：03-9876-5433",
        "URL：http://www.example.jp/",
        "E-mail：info@example.jp",
        "━━━━━━━━━━━━━━━━━━━━━━━━",
        "",
        "本メールの内容に心当たりのない場合は、",
        "お手数ですが下記までご連絡ください。",
        "support@example.jp",
        "",
        "以上",
    };
    TLines body;
    for (const char* line : lines) {
        body.push_back(Sj(line));
    }
    TFakeMail mail(std::move(body));
    mail.AddHeader("FROM:", Sj("\"山田 太郎\" <taro.yamada@example.co.jp>"))
        .AddHeader("SUBJECT:", Sj("【お問い合わせフォーム】資料請求がありました"))
        .AddHeader("DATE:", "Mon, 16 Jun 2003 14:32:07 +0900")
        .AddHeader("TO:", "info@example.jp")
        .AddHeader("MESSAGE-ID:", "<20030616143207.1234@form.example.jp>")
        .AddHeader("RECEIVED:", "from form.example.jp by mx.example.jp")
        .AddHeader("RECEIVED:", "from localhost by form.example.jp");
    return mail;
}

TOrderedParamString Param(int order, const std::string& key, std::uint8_t posType) {
    TOrderedParamString p;
    p.SetParamOrder(order);
    p.SetFieldOrder(order);
    p.SetParamKey(key);
    p.SetPosType(posType);
    return p;
}

void BM_ExtractValues(benchmark::State& state) {
    const TFakeMail mail = FormMail();
    std::vector<TOrderedParamString> header = {
        Param(0, "From:", TOrderedParamString::PosHeader),
        Param(1, "From:", TOrderedParamString::PosHeader),
        Param(2, "Subject:", TOrderedParamString::PosHeader),
        Param(3, "Date:", TOrderedParamString::PosHeader),
    };
    header[0].SetMailName(true);
    header[1].SetMailAddress(true);

    std::vector<TOrderedParamString> body = {
        Param(4, Sj("受付番号："), TOrderedParamString::PosBody),
        Param(5, Sj("■お名前　　　："), TOrderedParamString::PosBody),
        Param(6, Sj("■会社名　　　："), TOrderedParamString::PosBody),
        Param(7, Sj("^■ご住所.*?："), TOrderedParamString::PosBody),
        Param(8, Sj("■電話番号　　："), TOrderedParamString::PosBody),
        Param(9, Sj("■メール.*?："), TOrderedParamString::PosBody),
        Param(10, Sj("■お問い合わせ内容："), TOrderedParamString::PosBody),
        Param(11, Sj("■備考："), TOrderedParamString::PosBody),
    };
    body[0].SetEndStr("-");
    for (int i : {1, 2, 3, 4}) {
        body[i].SetTrim(true);
    }
    body[3].SetRegExt(true);
    body[5].SetRegExt(true);
    body[5].SetMailAddress(true);
    for (int i : {6, 7}) {
        body[i].SetRowType(TOrderedParamString::RowMulti);
        body[i].SetStartLine(false);
        body[i].SetEndStr(Sj("─"));
    }
    body[6].SetAutoFormat(40);

    const TValueMap first = TFieldExtractor::ExtractValues(mail, header, body);
    if (std::getenv("KESTRIFY_BENCH_DUMP") != nullptr) {
        for (const auto& [order, value] : first) {
            std::printf("%d [%s]\n", order, TSjisUnicode::ToUtf8(value).c_str());
        }
    }

    for (auto _ : state) {
        TValueMap values = TFieldExtractor::ExtractValues(mail, header, body);
        benchmark::DoNotOptimize(values);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtractValues);

}  // namespace

BENCHMARK_MAIN();
