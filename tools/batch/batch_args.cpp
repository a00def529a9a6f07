#include "batch/batch_args.h"

#include "engine/depth_code.h"

#include <QFileInfo>

namespace batch {

namespace {

bool parseInt(const QString& s, int& v) {
    bool ok = false;
    v = s.trimmed().toInt(&ok);
    return ok;
}

}  // namespace

bool Args::many() const {
    return manyOptions || inputs.size() > 1 || (inputs.size() == 1 && QFileInfo(inputs[0]).isDir());
}

QString usageText() {
    return QStringLiteral(
        "使い方: tolvane-batch 入力画像 手順...\n"
        "        tolvane-batch 画像またはﾌｫﾙﾀﾞ... --out-dir ﾌｫﾙﾀﾞ [--ext 拡張子] 手順...\n"
        "Usage:  tolvane-batch INPUT STEP...\n"
        "        tolvane-batch PICTURE|FOLDER... --out-dir DIR [--ext EXT] STEP...\n"
        "\n"
        "手順は書いた順に実行します / Steps run in the order given:\n"
        "  --select L,T,R,B       選択範囲を設定 / set the selection (picture pixels)\n"
        "  --do GROUP/ITEM        ｺﾏﾝﾄﾞを実行 / run one command, e.g. 回転/右90度,\n"
        "                         ﾘｻｲｽﾞ/横基準, 綴じ込み/横方向, 画像編集/ﾄﾘﾐﾝｸﾞ,\n"
        "                         画像編集/強調, 画像編集/編集を一つ戻す, 画像編集/読込時に戻す\n"
        "                         ｻｲｽﾞ変更/W,H  幅,高さ (ﾋﾟｸｾﾙ, または 50% のように%) /\n"
        "                           resize to W,H in pixels or percent (640,480  50%  50%,25%;\n"
        "                           one width alone keeps the proportions)\n"
        "                         角度回転/DEG[,#RRGGBB]  右回りに回転 (背景色, 既定は白) /\n"
        "                           turn DEG degrees clockwise, canvas grown (background, default white)\n"
        "  --depth CODE [--threshold N] [--invert]\n"
        "                         色数を変更して確定 / change the colour depth and commit:\n"
        "                         CODE = 1, 4, 40, 8, 80, 16, 24, 32 (しきい値/threshold 0-255\n"
        "                         for 1 only, default 128); --invert で色反転 / inverts colours\n"
        "  --save PATH            名前を付けて保存 (形式は拡張子で) / save as PATH, the format\n"
        "                         chosen by its extension\n"
        "  --info                 幅x高さ, 色深度ｺｰﾄﾞ, 情報 / print width x height, depth code, info\n"
        "  --time                 各手順の時間(ms)を標準ｴﾗｰに / each step's time in ms on stderr\n"
        "  --work DIR             作業ﾌｫﾙﾀﾞをこの中に作る / make the work folder for the undo\n"
        "                         files inside DIR (default: the temporary folder)\n"
        "  --help                 この説明 / this text\n"
        "\n"
        "複数の画像 / many pictures (--save の代わりに / instead of --save):\n"
        "  --out-dir DIR          出力ﾌｫﾙﾀﾞ (名前はそのまま) / output folder, names kept\n"
        "  --ext EXT              出力形式を拡張子で (png, gif, jpg...) / output format by extension\n"
        "  -r                     ﾌｫﾙﾀﾞの中のﾌｫﾙﾀﾞも / folders' subfolders too\n"
        "  -j N                   同時に N 枚 (既定: ｺｱ数) / N pictures at once (default: cores)\n"
        "  --overwrite            既存の出力を上書き / replace existing outputs (never an input)\n"
        "\n"
        "終了ｺｰﾄﾞ / exit status: 0 成功 success, 1 手順の失敗 a step failed (複数: 失敗した画像がある\n"
        "  / many: a picture failed), 2 使い方の誤り usage error\n");
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
        } else if (a == QLatin1String("-r")) {
            args.recursive = args.manyOptions = true;
        } else if (a == QLatin1String("--overwrite")) {
            args.overwrite = args.manyOptions = true;
        } else if (a == QLatin1String("--out-dir")) {
            if (!need(i, a, args.outDir))
                return false;
            args.manyOptions = true;
        } else if (a == QLatin1String("--ext")) {
            if (!need(i, a, v))
                return false;
            args.ext = v.startsWith(QChar('.')) ? v.mid(1) : v;
            if (args.ext.isEmpty() || args.ext.contains(QChar('/')) || args.ext.contains(QChar('.'))) {
                error = QStringLiteral("--ext は拡張子です (png, gif, jpg...) / --ext takes an extension: %1").arg(v);
                return false;
            }
            args.manyOptions = true;
        } else if (a == QLatin1String("-j") || a == QLatin1String("--jobs")) {
            if (!need(i, a, v))
                return false;
            if (!parseInt(v, args.jobs) || args.jobs < 1 || args.jobs > 256) {
                error = QStringLiteral("-j は 1 から 256 です / -j takes 1 to 256");
                return false;
            }
            args.manyOptions = true;
        } else if (a == QLatin1String("--work")) {
            if (!need(i, a, args.workDir))
                return false;
        } else if (a == QLatin1String("--info")) {
            Step s{Step::Info};
            s.text = a;
            args.steps.push_back(s);
            args.stepArgs << a;
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
            args.stepArgs << a << v;
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
            args.stepArgs << a << v;
        } else if (a == QLatin1String("--depth")) {
            if (!need(i, a, v))
                return false;
            Step s{Step::Depth};
            s.text = a + QChar(' ') + v;
            s.values[1] = 128;
            if (!parseInt(v, s.values[0]) || !engine::DepthCode::fromNumber(s.values[0]).valid()) {
                error = QStringLiteral("--depth は 1, 4, 40, 8, 80, 16, 24, 32 のどれかです / "
                                       "--depth takes 1, 4, 40, 8, 80, 16, 24 or 32");
                return false;
            }
            args.stepArgs << a << v;
            // Options that belong to this depth step.
            while (i + 1 < argv.size()) {
                if (argv[i + 1] == QLatin1String("--invert")) {
                    s.invert = true;
                    args.stepArgs << argv[++i];
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
                    args.stepArgs << QStringLiteral("--threshold") << v;
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
            args.stepArgs << a << s.path;
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("不明な指定です / unknown option: %1").arg(a);
            return false;
        } else {
            args.inputs << a;
        }
    }
    if (args.inputs.isEmpty()) {
        error = QStringLiteral("入力画像がありません / no input picture");
        return false;
    }
    args.input = args.inputs.front();
    if (!args.many())
        return true;
    // Many pictures: each one's output comes from the output rule alone, and
    // nothing may write over an input.
    if (args.outDir.isEmpty()) {
        error = QStringLiteral("複数の画像やﾌｫﾙﾀﾞには --out-dir が必要です / "
                               "many pictures or a folder need --out-dir");
        return false;
    }
    for (const Step& s : args.steps) {
        if (s.kind == Step::Save) {
            error = QStringLiteral("複数の画像では --save の代わりに --out-dir と --ext を使います / "
                                   "with many pictures use --out-dir and --ext instead of --save");
            return false;
        }
        if (s.kind == Step::Do && s.group == QStringLiteral("ﾌｧｲﾙ")) {
            error = QStringLiteral("複数の画像では入力に上書き保存できません / "
                                   "with many pictures no input is saved over: %1").arg(s.text);
            return false;
        }
    }
    return true;
}

}  // namespace batch
