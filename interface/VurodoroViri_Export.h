// Export macros of the four framework libraries. Each library defines its BUILDING_ macro while it
// is compiled; everybody else sees the import form.
#pragma once

#if defined(_WIN32) || defined(__CYGWIN__)
#define VV_DECL_EXPORT __declspec(dllexport)
#define VV_DECL_IMPORT __declspec(dllimport)
#else
#define VV_DECL_EXPORT __attribute__((visibility("default")))
#define VV_DECL_IMPORT __attribute__((visibility("default")))
#endif

#ifdef VURODOROVIRI_BUILDING_BASE
#define VURODOROVIRI_BASE_API VV_DECL_EXPORT
#else
#define VURODOROVIRI_BASE_API VV_DECL_IMPORT
#endif

#ifdef VURODOROVIRI_BUILDING_DRUVEL
#define VURODOROVIRI_DRUVEL_API VV_DECL_EXPORT
#else
#define VURODOROVIRI_DRUVEL_API VV_DECL_IMPORT
#endif

#ifdef VURODOROVIRI_BUILDING_HTTP_TOOL
#define TERMINAL_HTTP_TOOL_API VV_DECL_EXPORT
#else
#define TERMINAL_HTTP_TOOL_API VV_DECL_IMPORT
#endif

#ifdef VURODOROVIRI_BUILDING_TOOLKIT
#define OX_TOOLKIT_API VV_DECL_EXPORT
#else
#define OX_TOOLKIT_API VV_DECL_IMPORT
#endif
