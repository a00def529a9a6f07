#include "batch/batch_args.h"

namespace batch {

namespace {

bool parseInt(const QString& s, int& v) {
    bool ok = false;
    v = s.trimmed().toInt(&ok);
    return ok;
}

}  // namespace

QString usageText() {
    return QStringLiteral(
        "使い方: tolvane-batch 入力画像 手順...\n"
        "Usage:  tolvane-batch INPUT STEP...\n"
        "\n"
        "手順は書いた順に実行します / Steps run in the order given:\n"
        "  --select L,T,R,B       選択範囲を設定 / set the selection (picture pixels)\n"
        "  --do GROUP/ITEM        ｺﾏﾝﾄﾞを実行 / run one command, e.g. 回転/右90度,\n"
        "                         ﾘｻｲｽﾞ/横基準, 綴じ込み/横方向, 画像編集/ﾄﾘﾐﾝｸﾞ,\n"
        "                         画像編集/強調, 画像編集/編集を一つ戻す, 画像編集/読込時に戻す\n"
        "  --depth CODE [--threshold N] [--invert]\n"
        "                         色数を変更して確定 / change the colour depth and commit:\n"
        "                         CODE = 1, 4, 40, 8, 80, 16, 24, 32 (しきい値/threshold 0-255\n"
        "                         for 1 only, default 128); --invert で色反転 / inverts colours\n"
        "  --save PATH            名前を付けて保存 (形式は拡張子で) / save as PATH, the format\n"
        "                         chosen by its extension\n"
        "  --info                 幅x高さ, 色深度ｺｰﾄﾞ, 情報 / print width x height, depth code, info\n"
        "  --time                 各手順の時間(ms)を標準ｴﾗｰに / each step's time in ms on stderr\n"
        "  --work DIR             作業ﾌｫﾙﾀﾞ / work folder for the undo files (default: temporary)\n"
        "  --help                 この説明 / this text\n"
        "\n"
        "終了ｺｰﾄﾞ / exit status: 0 成功 success, 1 手順の失敗 a step failed, 2 使い方の誤り usage error\n");
}

bool parseArgs(const QStringList& argv, Args& args, QString& error) {
    args = Args();
    auto need = [&](int& i, const QString& opt, QString& value) {
        if (i + 1 >= argv.size()) {
            error = QStringLiteral("%1 の値がありません / %1 needs a value").arg(opt);
            return false;
        }
        value = argv[++i];
        return true;
    };
    for (int i = 0; i < argv.size(); ++i) {
        const QString a = argv[i];
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            args.help = true;
            return true;
        } else if (a == QLatin1String("--time")) {
            args.time = true;
        } else if (a == QLatin1String("--work")) {
            if (!need(i, a, args.workDir))
                return false;
        } else if (a == QLatin1String("--info")) {
            Step s{Step::Info};
            s.text = a;
            args.steps.push_back(s);
        } else if (a == QLatin1String("--select")) {
            if (!need(i, a, v))
                return false;
            const QStringList parts = v.split(QChar(','));
            Step s{Step::Select};
            s.text = a + QChar(' ') + v;
            bool ok = parts.size() == 4;
            for (int k = 0; ok && k < 4; ++k)
                ok = parseInt(parts[k], s.values[k]);
            if (!ok) {
                error = QStringLiteral("--select は L,T,R,B の4つの整数です / --select takes four integers L,T,R,B");
                return false;
            }
            args.steps.push_back(s);
        } else if (a == QLatin1String("--do")) {
            if (!need(i, a, v))
                return false;
            const qsizetype slash = v.indexOf(QChar('/'));
            if (slash <= 0 || slash == v.size() - 1) {
                error = QStringLiteral("--do は GROUP/ITEM です / --do takes GROUP/ITEM");
                return false;
            }
            Step s{Step::Do};
            s.text = a + QChar(' ') + v;
            s.group = v.left(slash);
            s.item = v.mid(slash + 1);
            args.steps.push_back(s);
        } else if (a == QLatin1String("--depth")) {
            if (!need(i, a, v))
                return false;
            Step s{Step::Depth};
            s.text = a + QChar(' ') + v;
            s.values[1] = 128;
            static const QList<int> codes = {1, 4, 40, 8, 80, 16, 24, 32};
            if (!parseInt(v, s.values[0]) || !codes.contains(s.values[0])) {
                error = QStringLiteral("--depth は 1, 4, 40, 8, 80, 16, 24, 32 のどれかです / "
                                       "--depth takes 1, 4, 40, 8, 80, 16, 24 or 32");
                return false;
            }
            // Options that belong to this depth step.
            while (i + 1 < argv.size()) {
                if (argv[i + 1] == QLatin1String("--invert")) {
                    s.invert = true;
                    ++i;
                } else if (argv[i + 1] == QLatin1String("--threshold")) {
                    ++i;
                    if (!need(i, QStringLiteral("--threshold"), v))
                        return false;
                    if (!parseInt(v, s.values[1]) || s.values[1] < 0 || s.values[1] > 255) {
                        error = QStringLiteral("--threshold は 0 から 255 です / --threshold takes 0 to 255");
                        return false;
                    }
                    if (s.values[0] != 1) {
                        error = QStringLiteral("--threshold は --depth 1 だけに使えます / "
                                               "--threshold applies to --depth 1 only");
                        return false;
                    }
                } else {
                    break;
                }
            }
            args.steps.push_back(s);
        } else if (a == QLatin1String("--save")) {
            Step s{Step::Save};
            if (!need(i, a, s.path))
                return false;
            s.text = a + QChar(' ') + s.path;
            args.steps.push_back(s);
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("不明な指定です / unknown option: %1").arg(a);
            return false;
        } else if (args.input.isEmpty()) {
            args.input = a;
        } else {
            error = QStringLiteral("入力画像は一つだけです / only one input picture: %1").arg(a);
            return false;
        }
    }
    if (args.input.isEmpty()) {
        error = QStringLiteral("入力画像がありません / no input picture");
        return false;
    }
    return true;
}

}  // namespace batch
