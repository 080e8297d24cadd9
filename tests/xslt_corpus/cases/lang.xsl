<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:for-each select="//q"><q en="{lang('en')}" de="{lang('de')}"/></xsl:for-each></r></xsl:template>
</xsl:stylesheet>
