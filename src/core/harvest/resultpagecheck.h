#pragma once
// Why a page from the search host gave the harvest nothing to take: a search service that
// answers programs with a page asking for JavaScript, or with no result links at all, is to
// be named as such rather than leave the user with a bare "No URLs added.".

#include <QByteArrayView>

namespace tarnbell::core {

enum class ResultPageKind {
    Results,           // links to at least one host a harvest could take, listed or not
    AsksForJavaScript, // no such link, and a <noscript> block or words asking for JavaScript
    NoResultLinks,     // no such link and no word about JavaScript
};

// Reads `body` (one reply's body, one byte per character) as harvestNames() does. A page
// with result links is a results page whatever else it holds: many carry a <noscript> block
// beside their results.
ResultPageKind ClassifyResultPage(QByteArrayView body);

} // namespace tarnbell::core
