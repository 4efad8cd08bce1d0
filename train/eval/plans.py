# Plans for ../shared/bench/make-corpus.sh: the development corpus's recipe (same noises, SNRs,
# 8 kHz copies, one long file) spoken by two other sets of voices.
#   heldout      voices the network never trained on (train/make_pool.py holds them out)
#   trainvoices  voices it trained on (other sentences than its training text), to measure the gap
# Build: ../shared/bench/make-corpus.sh /tmp/corpus-heldout 1 heldout train/eval/plans.py
#        ../shared/bench/make-corpus.sh /tmp/corpus-trainvoices 1 trainvoices train/eval/plans.py


def dev_recipe(name, set_id, espeak_languages, festival_voices):
    """Adds set `name`: four utterances from each espeak language and eight from each festival
    voice (all reading English), the long file drawn from the festival voices."""
    SET_IDS[name] = set_id
    NOISES[name] = NOISES["dev"]
    N_MIX[name] = N_MIX["dev"]
    PLAN[name] = ([("espeak", lang, "en", 4) for lang in espeak_languages] +
                  [("festival", voice, "en", 8) for voice in festival_voices])
    LONG[name] = [(list(festival_voices), 20.0)]
    RATE8K_EVERY[name] = RATE8K_EVERY["dev"]
    PADS[name] = PADS["dev"]
    SENTENCES[name] = SENTENCES["dev"]


FEST.update(dita="czech_dita", hymv="hy_fi_mv_diphone", lp="lp_diphone", suolj="suo_fi_lj_diphone")
dev_recipe("heldout", 101, ["es", "pl", "pt", "sv"], ["dita", "hymv"])
dev_recipe("trainvoices", 102, ["de", "it", "nl", "en-us"], ["lp", "suolj"])
