// Times how fast a large change plan opens for review.
//
//   plan_model_bench [--items N]
//
// Makes a plan of N items in memory (default 1,000,000; paths of about 60
// bytes; mostly copies, a few percent deletions and skips with a reason),
// then prints key=value lines: the time to build the table model over it,
// to filter it to the deletions and back, to open the preview window on it
// and paint it once, and to scroll it to the end. The goal: the model is
// built within a second. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise. Exits 1 when the goal is missed.

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/FileItemList.h"
#include "model/Task.h"
#include "ui/PlanModel.h"
#include "ui/TfrmPreview.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void fill(FileItemList& plan, std::size_t items) {
    const std::string main = "/srv/data/photos/";
    const std::string mirror = "/media/backup/photos/";
    for (std::size_t i = 0; i < items; ++i) {
        const std::string relative =
            "folder" + std::to_string(i / 1000) + "/picture-" + std::to_string(i) + "-holiday.jpg";
        FileItem& item = plan.newItem();
        item.pair = 0;
        const std::size_t kind = i % 100;
        if (kind < 3) {
            // Deletions list the mirror's entry as their source.
            item.setSource(mirror + relative);
            item.setOperation(opDeleteFile);
        } else {
            item.setSource(main + relative);
            item.setTarget(mirror + relative);
            if (kind < 5) {
                item.setOperation(opSkip);
                item.setReason("the file cannot be read: permission denied");
            } else {
                item.setOperation(kind < 20 ? opUpdateFile : opCreateFile);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t items = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--items") == 0 && i + 1 < argc) {
            items = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: plan_model_bench [--items N]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    Task task;
    task.name = "bench";
    FileItemList plan(&task);
    fill(plan, items);

    auto start = Clock::now();
    auto model = std::make_unique<PlanModel>(plan);
    const double modelSeconds = secondsSince(start);

    start = Clock::now();
    model->setOperationFilter(PlanModel::kDeletions);
    const std::size_t deletions = static_cast<std::size_t>(model->rowCount());
    model->setOperationFilter(PlanModel::kAll);
    const double filterSeconds = secondsSince(start);
    model.reset();

    start = Clock::now();
    TfrmPreview window(QStringLiteral("bench"), plan);
    window.show();
    QApplication::processEvents();
    window.itemView()->viewport()->repaint();
    const double openSeconds = secondsSince(start);

    start = Clock::now();
    QScrollBar* bar = window.itemView()->verticalScrollBar();
    constexpr int kSteps = 100;
    for (int step = 1; step <= kSteps; ++step) {
        bar->setValue(bar->maximum() / kSteps * step);
        window.itemView()->viewport()->repaint();
    }
    const double scrollSeconds = secondsSince(start) / kSteps;

    std::printf("items=%zu\n", items);
    std::printf("deletions=%zu\n", deletions);
    std::printf("model_build_s=%.4f\n", modelSeconds);
    std::printf("filter_both_ways_s=%.4f\n", filterSeconds);
    std::printf("window_open_and_paint_s=%.4f\n", openSeconds);
    std::printf("scroll_step_repaint_s=%.5f\n", scrollSeconds);
    const bool met = modelSeconds <= 1.0;
    std::printf("goal_model_within_1s=%s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
