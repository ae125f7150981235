// Preferences of the browser leg's Firefox profile (check-pages.js copies this file into it as
// user.js). Firefox otherwise starts talking to Mozilla's servers as it starts: updates,
// telemetry, remote settings, safe browsing, and more. CI machines have no network, and a check
// must not depend on one, so each of these is off; checked with strace, a run makes no DNS
// query. Remote settings also need MOZ_REMOTE_SETTINGS_DEVTOOLS=1, which check-pages.js sets,
// before Firefox heeds services.settings.server.

// Updates of Firefox, its add-ons, system add-ons, media plug-ins and search engines.
user_pref("app.update.auto", false);
user_pref("app.update.disabledForTesting", true);
user_pref("extensions.getAddons.cache.enabled", false);
user_pref("extensions.systemAddon.update.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("media.gmp-manager.updateEnabled", false);
user_pref("media.gmp-manager.url", "data:,");
user_pref("browser.search.update", false);
user_pref("services.settings.server", "data:,#remote-settings-off");

// Telemetry, data reporting and studies.
user_pref("app.normandy.enabled", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.policy.dataSubmissionPolicyBypassNotification", true);
user_pref("telemetry.fog.test.localhost_port", -1);
user_pref("toolkit.telemetry.archive.enabled", false);
user_pref("toolkit.telemetry.bhrPing.enabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.firstShutdownPing.enabled", false);
user_pref("toolkit.telemetry.newProfilePing.enabled", false);
user_pref("toolkit.telemetry.server", "data:,");
user_pref("toolkit.telemetry.shutdownPingSender.enabled", false);
user_pref("toolkit.telemetry.unified", false);
user_pref("toolkit.telemetry.updatePing.enabled", false);

// The new-tab page's feeds and sponsored sites, which it fetches even when no tab shows it.
user_pref("browser.newtabpage.activity-stream.feeds.section.topstories", false);
user_pref("browser.newtabpage.activity-stream.feeds.topsites", false);
user_pref("browser.newtabpage.activity-stream.showSponsoredTopSites", false);
user_pref("browser.newtabpage.activity-stream.telemetry", false);
user_pref("browser.newtabpage.enabled", false);

// Safe browsing lists, the region and push services, and the probes for captive portals and
// connectivity.
user_pref("browser.region.network.url", "");
user_pref("browser.region.update.enabled", false);
user_pref("browser.safebrowsing.blockedURIs.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
user_pref("dom.push.connection.enabled", false);
user_pref("dom.push.serverURL", "");
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);

// DNS over HTTPS, and lookups and connections made ahead of need.
user_pref("network.dns.disablePrefetch", true);
user_pref("network.http.speculative-parallel-limit", 0);
user_pref("network.prefetch-next", false);
user_pref("network.trr.mode", 5);
