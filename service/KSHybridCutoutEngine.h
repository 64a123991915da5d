#pragma once

#include "KSBusyBackdropRules.h"
#include "KSClassicCutoutEngine.h"
#include "KSLearnedCutoutEngine.h"

#include <functional>
#include <memory>
#include <string>

class KSLearnedModel;

// The engine used when a learned model is installed. The network runs on the
// photo and, unless it was sure of it, on its mirror image, and the two maps
// are averaged; the rules below then apply to the map at about the network's
// resolution, and the map is stretched to the photo's size. Each rule is kept because it
// scores better on photographs (bench_engine_rules):
// - detached blobs the network found salient are dropped (subjectRegion);
// - a subject that fills the frame gets a further pass over the photo
//   padded with grey, when the first map calls for it (KSFrameFill);
// - on a busy backdrop, the network looks again at a crop round a subject
//   it was unsure of or that is small in the frame (the further pass), and
//   salient scenery the frame cuts, or joined to the subject by a narrow
//   neck in colours not the subject's, is dropped;
// - shadows are backdrop (KSCutoutRules::castShadow);
// - holes by their colour (KSCutoutRules::fillSubjectColouredHoles);
// - on a plain backdrop, the classical engine's subject parts the network
//   outlined but took for background join it (fuse), less shadows and
//   enclosed backdrop;
// - on a plain backdrop, when asked, alpha solved from colour at up to
//   1500 pixels (KSBackdropMatte): gaps the network closed open, thin parts
//   it lost come back.
// When the model cannot run, the classical engine cuts out alone.
class KSHybridCutoutEngine : public KSCutoutEngine
{
public:
    struct Rules
    {
        bool mirroredPass = true;
        // The mirrored pass runs only when at least this share of the first
        // map's subject is unsure (0: always). A sure map gains nothing from
        // a second look, and the pass is half the engine's time.
        double mirroredFromUnsure = 0.1;
        bool keepTheLarger = false; // the two maps' larger value instead of their mean
        // When the photo's and its mirror image's maps part ways over at
        // least this share of the picture (0: never), their mean is a coin
        // toss: a third pass over the photo padded with grey decides, each
        // pixel taking the median of the three maps.
        double refereeFrom = 0.2;
        bool dropBlobs = true;
        bool dropScenery = true;
        bool shadows = true;
        bool holes = true;
        bool classicOnPlain = true;
        // On a plain backdrop, alpha from colour in the band, narrow gaps
        // and thin parts (KSBackdropMatte). Off: it gains on ID photos and
        // photographed studio subjects but on a dark backdrop takes a dark
        // tyre's rim for a gap (a rendered bicycle 0.95 -> 0.82 IoU).
        bool backdropMatte = false;
        // A subject that fills the frame: a further pass over the photo
        // padded with grey, when the first map calls for it (KSFrameFill).
        bool frameFill = true;
        // On a busy backdrop (KSBusyBackdropRules): a second look at a crop
        // round the subject when the first map is unsure of it or it is
        // small in the frame, blended with the first map; parts joined to
        // the subject by a narrow neck whose colours are not the subject's.
        bool secondLook = true;
        double secondLookFromUnsure = 0.1;
        // The second look stands aside when its map keeps less than this
        // share of what the first map was sure of in the crop (0: never).
        double secondLookKeepsSure = 0.5;
        KSBusyBackdropRules::Blend secondLookBlend = KSBusyBackdropRules::Blend::product;
        bool neckedParts = true;
        // Parts much blurrier than the subject's body: off, as it never
        // found a part to drop on the scored set.
        bool blurredParts = false;
    };

    // A further forward pass a rule asks for, over a picture it made from the
    // photo (padded, cropped): the network's map of it (CV_32F, 0..1), or
    // empty when it cannot run. `key` names the pass, so that a caller that
    // keeps maps (the benchmarks) can tell one pass of a photo from another.
    using NetworkPass = std::function<cv::Mat(const std::string &key, const cv::Mat &picture)>;

    explicit KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model);
    KSHybridCutoutEngine(std::shared_ptr<KSLearnedModel> model, Rules rules);

    cv::Mat mask(const cv::Mat &bgr, KSEraserType type, std::string *error) override;

    // The mask from the network's maps (CV_32F, 0..1, at the model's size;
    // `mirrored` already flipped back, or empty) by the rules; `classic`,
    // when given, runs on plain backdrops. *classicAdded says whether the
    // classical engine added anything. `pass`, when given, runs the further
    // passes some rules ask for; without it those rules stand aside.
    static cv::Mat fromMaps(const cv::Mat &bgr, const cv::Mat &map, const cv::Mat &mirrored, KSEraserType type,
                            const Rules &rules, KSCutoutEngine *classic, bool *classicAdded = nullptr,
                            const NetworkPass &pass = {});
    // The share of a map's subject (levels above one half) matched by its
    // unsure levels (between 0.1 and 0.9).
    static double unsureShare(const cv::Mat &map);
    // The share of the picture one map keeps (level above one half) and the
    // other does not. Maps of one size.
    static double disagreement(const cv::Mat &a, const cv::Mat &b);
    // Whether the rules want the mirrored pass after this first map.
    static bool wantsMirroredPass(const cv::Mat &map, const Rules &rules);
    // What made the last mask: the model's name, "<model>+classic-grabcut"
    // when both contributed, or "classic-grabcut" when the model could not
    // run; before any mask, the learned engine's.
    std::string name() const override;

    // The classical subject's components whose outline (the frame aside)
    // lies along the network's subject for at least `outlineShare` of its
    // length join it: the network drew the outline of a part it then took
    // for background. Only what the network missed is added, with the
    // classical engine's soft fringe; where both found an edge, the
    // network's stands. For a person, a component running off the bottom
    // of the frame joins too when a tenth of it is the network's subject or
    // it holds half of that subject (the head the network found).
    // When the network found next to nothing, the classical mask stands.
    // Both masks 8-bit and of one size.
    static cv::Mat fuse(const cv::Mat &learned, const cv::Mat &classic, KSEraserType type,
                        double outlineShare = 0.7, bool *classicAdded = nullptr);

    // On a busy backdrop the network also finds the scenery's own salient
    // things (a flower, a splash of water), which the frame tends to cut.
    // When the largest component lies inside the frame (and holds half a
    // percent of the picture), the components the frame cuts are dropped
    // with their soft fringe; for a person the bottom edge does not count.
    static cv::Mat dropFrameCutScenery(const cv::Mat &mask, KSEraserType type);

private:
    std::shared_ptr<KSLearnedModel> m_model;
    Rules m_rules;
    KSClassicCutoutEngine m_classic;
    KSLearnedCutoutEngine m_learned;
    std::string m_last;
};
